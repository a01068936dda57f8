#include "platform/qt/dialog_units_qt.h"
#include "res/art_painter.h"
#include "res/resource_ids.h"
#include "res/resources.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QSize DialogPixels(int id) {
    const platform::DialogTemplate& dialog = res::Dialog(id);
    return platform::DluToPixels(
        QSize(dialog.cx, dialog.cy),
        platform::BaseUnitsOf(platform::DialogFont(dialog.fontFace, dialog.pointSize)));
}

QImage DataImage(const char* name) {
    return QImage(QStringLiteral(KVZIP_DATA_DIR "/") + QString::fromUtf8(name));
}

} // namespace

TEST(Artwork, SplashOutsideIsExactlyTheKeyColour) {
    const QImage splash = res::MakeSplash(QSize(440, 260));
    for (const QPoint corner : {QPoint(0, 0), QPoint(439, 0), QPoint(0, 259), QPoint(439, 259)})
        EXPECT_EQ(splash.pixelColor(corner), res::kSplashKeyColour);
    EXPECT_NE(splash.pixelColor(220, 130), res::kSplashKeyColour);
    // No blended fringe: every pixel is the key colour or far from it.
    int nearKey = 0;
    for (int y = 0; y < splash.height(); ++y)
        for (int x = 0; x < splash.width(); ++x) {
            const QColor c = splash.pixelColor(x, y);
            if (c != res::kSplashKeyColour && c.red() > 200 && c.blue() > 200 && c.green() < 60)
                ++nearKey;
        }
    EXPECT_EQ(nearKey, 0);
}

TEST(Artwork, InstalledSkinsCoverTheirDialogs) {
    const QImage main = DataImage("Kelvane-Zip.bmp");
    ASSERT_FALSE(main.isNull());
    EXPECT_EQ(main.size(), DialogPixels(res::IDD_VELMOR_DIALOG));
    const QImage secondary = DataImage("Skin2.bmp");
    ASSERT_FALSE(secondary.isNull());
    for (int id : {res::IDD_ABOUTBOX, res::IDD_PROGRESSBAR, res::IDD_FILESAVE, res::IDD_VIEWLOG,
                   res::IDD_SAVEMSG}) {
        const QSize dialog = DialogPixels(id);
        EXPECT_GE(secondary.width(), dialog.width()) << id;
        EXPECT_GE(secondary.height(), dialog.height()) << id;
    }
    EXPECT_EQ(DataImage("Flash.bmp").pixelColor(0, 0), res::kSplashKeyColour);
    EXPECT_EQ(DataImage("icons/kelvane-zip-48.png").size(), QSize(48, 48));
}
