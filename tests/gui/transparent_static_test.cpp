#include "controls/transparent_static.h"
#include "controls/transparent_static2.h"

#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// A parent whose background is a two-colour skin, counting its paints.
class SkinnedParent : public QWidget {
public:
    SkinnedParent() { resize(200, 60); }
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter painter(this);
        painter.fillRect(QRect(0, 0, 100, 60), QColor(0, 160, 0));
        painter.fillRect(QRect(100, 0, 100, 60), QColor(160, 0, 0));
    }
};

const ControlTemplate kControls[] = {
    {ControlKind::Static, 20, "", 4, 4, 80, 8},
};
const DialogTemplate kLabelDialog{901, "Labels", 100,     20,       "MS Shell Dlg",
                                  8,   DS_NONE,  nullptr, kControls};

} // namespace

TEST(TransparentStatic, TextChangeRepaintsTheParentUnderTheLabel) {
    SkinnedParent parent;
    auto* label = new CTransparentStatic(&parent);
    label->setGeometry(10, 10, 180, 20);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const int before = parent.paints;
    label->SetWindowText(QStringLiteral("new text"));
    EXPECT_GT(parent.paints, before);
    const QImage image = parent.grab().toImage();
    EXPECT_EQ(image.pixelColor(150, 28), QColor(160, 0, 0)); // skin under the label
}

TEST(TransparentStatic2, SnapshotOfTheParentShowsUnderEveryText) {
    SkinnedParent parent;
    auto* label = new CTransparentStatic2(&parent);
    label->setGeometry(90, 10, 100, 20); // across both colours
    EXPECT_FALSE(label->HasSnapshot());
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    label->SetWindowText(QStringLiteral("a much longer first text"));
    EXPECT_TRUE(label->HasSnapshot());
    label->SetWindowText(QStringLiteral("x"));
    const QImage image = label->grab().toImage();
    EXPECT_EQ(image.pixelColor(5, 18), QColor(0, 160, 0));
    EXPECT_EQ(image.pixelColor(95, 18), QColor(160, 0, 0));
}

TEST(TransparentStatic, DialogTextGoesThroughTheControl) {
    CDialog dialog(kLabelDialog);
    CTransparentStatic2* label = nullptr;
    dialog.BindControl(20, label);
    dialog.CreateFromTemplate();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.SetDlgItemText(20, QStringLiteral("/home/user/a.zip"));
    EXPECT_EQ(label->text(), "/home/user/a.zip");
    EXPECT_TRUE(label->HasSnapshot()); // repainted at once, not later
}
