// Writes the installation's pictures into a data folder:
//   make_art <data folder>
// The skins are sized to the dialogs that show them at the default font.
#include "platform/qt/dialog_units_qt.h"
#include "res/art_painter.h"
#include "res/resource_ids.h"
#include "res/resources.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

namespace {

QSize DialogPixels(int id) {
    const platform::DialogTemplate& dialog = res::Dialog(id);
    const auto base =
        platform::BaseUnitsOf(platform::DialogFont(dialog.fontFace, dialog.pointSize));
    return platform::DluToPixels(QSize(dialog.cx, dialog.cy), base);
}

bool Save(const QImage& image, const QString& path) {
    if (image.save(path))
        return true;
    std::fprintf(stderr, "make_art: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_art <data folder>\n");
        return 2;
    }
    const QDir data(QString::fromLocal8Bit(argv[1]));
    if (!data.mkpath(QStringLiteral("icons"))) {
        std::fprintf(stderr, "make_art: cannot create %s\n", argv[1]);
        return 1;
    }

    const QSize main = DialogPixels(res::IDD_VELMOR_DIALOG);
    const auto mainBase = platform::BaseUnitsOf(platform::DialogFont("MS Shell Dlg", 8));
    // The banner ends above the first controls of the main and preview dialogs.
    const int banner = platform::DluToPixelsY(30, mainBase);
    // One secondary skin serves every smaller dialog: cover the largest.
    QSize secondary;
    for (int id : {res::IDD_ABOUTBOX, res::IDD_PROGRESSBAR, res::IDD_FILESAVE, res::IDD_VIEWLOG,
                   res::IDD_SAVEMSG})
        secondary = secondary.expandedTo(DialogPixels(id));

    bool ok =
        Save(res::MakeMainSkin(main, banner), data.filePath(QStringLiteral("Kelvane-Zip.bmp")));
    ok &= Save(res::MakeSecondarySkin(secondary), data.filePath(QStringLiteral("Skin2.bmp")));
    ok &= Save(res::MakeSplash(QSize(440, 260)), data.filePath(QStringLiteral("Flash.bmp")));
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok &= Save(res::MakeEmblem(size),
                   data.filePath(QStringLiteral("icons/kelvane-zip-%1.png").arg(size)));
    return ok ? 0 : 1;
}
