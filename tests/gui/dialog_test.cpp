#include "controls/about_menu_item.h"
#include "platform/qt/dialog_qt.h"
#include "res/resource_ids.h"
#include "res/resources.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace platform;

namespace {

const ControlTemplate kControls[] = {
    {ControlKind::GroupBox, IDC_STATIC, "Frame", 4, 4, 120, 60},
    {ControlKind::Static, 10, "Label", 10, 12, 60, 8},
    {ControlKind::PushButton, 11, "Press", 10, 30, 50, 14},
    {ControlKind::DefPushButton, 12, "Go", 66, 30, 50, 14},
    {ControlKind::CheckBox, 13, "Check", 10, 48, 60, 10},
    {ControlKind::ListView, 14, "", 130, 4, 60, 60, CS_HIDDEN | CS_SINGLESEL},
    {ControlKind::Static, 15, "Out", 130, 68, 60, 8, CS_RIGHT},
};
const DialogTemplate kTestDialog{900, "Test",     200,     80,       "MS Shell Dlg",
                                 8,   DS_SYSMENU, nullptr, kControls};

// Records what the framework calls.
class ProbeDialog : public CDialog {
public:
    explicit ProbeDialog(const DialogTemplate& t = kTestDialog) : CDialog(t) {}
    int initCalls = 0;
    int closeCalls = 0;
    int sysCommand = 0;
    std::vector<int> filteredKeys;
    bool swallowEscape = false;
    bool paintedSincePost = false;

protected:
    bool OnInitDialog() override {
        ++initCalls;
        return true;
    }
    void OnClose() override {
        ++closeCalls;
        CDialog::OnClose();
    }
    void OnSysCommand(int id) override {
        sysCommand = id;
        CDialog::OnSysCommand(id);
    }
    bool PreTranslateMessage(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        filteredKeys.push_back(key);
        return swallowEscape && key == Qt::Key_Escape;
    }
    void OnPaint(QPainter&) override { paintedSincePost = true; }
};

// Runs `action` once the modal loop is up.
void WhenModal(std::function<void()> action) {
    QTimer::singleShot(0, std::move(action));
}

} // namespace

TEST(DialogUnits, QuarterAndEighthOfTheFontRounded) {
    const DialogBaseUnits base{6, 13};
    EXPECT_EQ(DluToPixelsX(4, base), 6);
    EXPECT_EQ(DluToPixelsX(1, base), 2); // 1.5 rounds up
    EXPECT_EQ(DluToPixelsY(8, base), 13);
    EXPECT_EQ(DluToPixelsY(3, base), 5); // 4.875
    EXPECT_EQ(DluToPixels(QRect(4, 8, 4, 8), base), QRect(6, 13, 6, 13));
    // Neighbours share their edge even where each size alone would round apart.
    const QRect left = DluToPixels(QRect(0, 0, 1, 1), base);
    const QRect right = DluToPixels(QRect(1, 0, 1, 1), base);
    EXPECT_EQ(left.right() + 1, right.left());
}

TEST(DialogUnits, ComeFromTheDialogFont) {
    const QFont font = DialogFont("MS Shell Dlg", 8);
    EXPECT_EQ(font.pointSize(), 8);
    const DialogBaseUnits base = BaseUnitsOf(font);
    EXPECT_GT(base.x, 2);
    EXPECT_GT(base.y, base.x);
    QFont larger = font;
    larger.setPointSize(16);
    EXPECT_GT(BaseUnitsOf(larger).x, base.x);
}

TEST(Dialog, BuildsControlsWithIdsTextsAndPositions) {
    ProbeDialog dialog;
    dialog.CreateFromTemplate();
    EXPECT_EQ(dialog.initCalls, 1);
    EXPECT_EQ(dialog.Client()->size(), DluToPixels(QSize(200, 80), dialog.BaseUnits()));
    EXPECT_EQ(dialog.GetDlgItemText(10), "Label");
    EXPECT_EQ(dialog.GetDlgItemText(11), "Press");
    ASSERT_NE(dialog.GetDlgItemAs<QPushButton>(12), nullptr);
    EXPECT_TRUE(dialog.GetDlgItemAs<QPushButton>(12)->isDefault());
    EXPECT_NE(dialog.GetDlgItemAs<QCheckBox>(13), nullptr);
    EXPECT_EQ(dialog.GetDlgItem(11)->geometry(), dialog.MapDialogRect(QRect(10, 30, 50, 14)));
    auto* list = dialog.GetDlgItemAs<QTreeWidget>(14);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isHidden());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(dialog.GetDlgItem(999), nullptr);
    EXPECT_EQ(dialog.GetDlgItem(IDC_STATIC), nullptr);

    dialog.SetDlgItemText(10, "Changed");
    EXPECT_EQ(dialog.GetDlgItemText(10), "Changed");
    dialog.CheckDlgButton(13, true);
    EXPECT_TRUE(dialog.IsDlgButtonChecked(13));

    // A second build starts from the template again.
    dialog.CreateFromTemplate();
    EXPECT_EQ(dialog.initCalls, 2);
    EXPECT_EQ(dialog.GetDlgItemText(10), "Label");
    EXPECT_FALSE(dialog.IsDlgButtonChecked(13));
}

TEST(Dialog, BindControlMakesTheBoundKind) {
    ProbeDialog dialog;
    QLabel* bound = nullptr;
    dialog.BindControl(11, bound);
    dialog.CreateFromTemplate();
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(dialog.GetDlgItem(11), bound);
    EXPECT_EQ(bound->text(), "Press");
}

TEST(Dialog, ModalRunReturnsTheResult) {
    ProbeDialog dialog;
    WhenModal([&] { dialog.EndDialog(IDOK); });
    EXPECT_EQ(dialog.DoModal(), IDOK);

    WhenModal([&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);

    WhenModal([&] { dialog.close(); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.closeCalls, 1);
    EXPECT_EQ(dialog.initCalls, 3);
}

TEST(Dialog, CommandsRouteByIdAndEnterPressesTheDefaultButton) {
    ProbeDialog dialog;
    std::vector<int> commands;
    dialog.SetCommandHandler(11, [&] { commands.push_back(11); });
    dialog.SetCommandHandler(12, [&] {
        commands.push_back(12);
        dialog.EndDialog(42);
    });
    WhenModal([&] {
        // The group box lies under the button and must not take its click.
        QTest::mouseClick(dialog.GetDlgItem(11), Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_EQ(commands, (std::vector<int>{11, 12}));
}

TEST(Dialog, FilterSeesEachKeyOnceAndCanSwallowIt) {
    ProbeDialog dialog;
    dialog.swallowEscape = true;
    WhenModal([&] {
        QWidget* button = dialog.GetDlgItem(11);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Escape); // swallowed: the dialog stays
        QTest::keyClick(button, Qt::Key_F1);     // ignored by the button, seen once
        dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.filteredKeys, (std::vector<int>{Qt::Key_Escape, Qt::Key_F1}));
}

TEST(Dialog, MenuItemsEnableAndSendCommands) {
    const DialogTemplate& main = res::Dialog(res::IDD_VELMOR_DIALOG);
    ProbeDialog dialog(main);
    int command = 0;
    dialog.SetCommandHandler(res::ID_HELP_ABOUT, [&] { command = res::ID_HELP_ABOUT; });
    for (int id :
         {res::ID_FILE_SELECTFILE, res::ID_FILE_SAVECURRENTFILE, res::ID_FILE_SAVEALL,
          res::ID_FILE_EXIT, res::ID_REPAIRMODE_QUICKREPAIR, res::ID_REPAIRMODE_ADVANCEREPAIR,
          res::ID_OPTION_SKIPPREVIEW, res::ID_OPTION_VIEWLOG, res::ID_OPTION_CLEARLOG,
          res::ID_HELP_ABOUT, res::ID_HELP_CONTENTS})
        EXPECT_TRUE(dialog.IsMenuItemEnabled(id)) << id;
    EXPECT_EQ(dialog.MenuAction(res::ID_FILE_SAVEALL)->text(), "Save &All");
    EXPECT_TRUE(dialog.EnableMenuItem(res::ID_FILE_SAVEALL, false));
    EXPECT_FALSE(dialog.IsMenuItemEnabled(res::ID_FILE_SAVEALL));
    EXPECT_FALSE(dialog.EnableMenuItem(4242, false));
    dialog.MenuAction(res::ID_HELP_ABOUT)->trigger();
    EXPECT_EQ(command, res::ID_HELP_ABOUT);
}

TEST(Dialog, SystemMenuOpensOnAltSpaceAndCarriesTheAboutItem) {
    ProbeDialog dialog;
    AppendAboutToSystemMenu(dialog);
    const QList<QAction*> actions = dialog.SystemMenu()->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&About Kelvane For Zip...");
    actions.back()->trigger();
    EXPECT_EQ(dialog.sysCommand, res::IDM_ABOUTBOX);

    dialog.CreateFromTemplate();
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(dialog.SystemMenu()->isVisible());
    dialog.SystemMenu()->hide();
}

TEST(Dialog, SkinShowsThroughLabelsAndDefaultsWhenMissing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("skin.bmp");
    QImage skin(400, 200, QImage::Format_RGB32);
    skin.fill(QColor(10, 200, 30));
    ASSERT_TRUE(skin.save(path));

    ProbeDialog dialog;
    EXPECT_FALSE(dialog.LoadSkin(dir.filePath("missing.bmp")));
    ASSERT_TRUE(dialog.LoadSkin(path));
    dialog.CreateFromTemplate();
    dialog.show();
    const QImage shot = dialog.Client()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(1, 1), QColor(10, 200, 30));
    // Inside the label's rectangle, left of its right-aligned text.
    const QRect label = dialog.GetDlgItem(15)->geometry();
    EXPECT_EQ(shot.pixelColor(label.left() + 1, label.top() + 1), QColor(10, 200, 30));
}

TEST(Dialog, PostAfterPaintRunsAfterThePaintNotInsideIt) {
    ProbeDialog dialog;
    dialog.CreateFromTemplate();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.paintedSincePost = false;
    bool ran = false;
    bool paintedBefore = false;
    dialog.PostAfterPaint([&] {
        ran = true;
        paintedBefore = dialog.paintedSincePost;
    });
    EXPECT_FALSE(ran);
    dialog.Client()->repaint();
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(paintedBefore);
}

class TemplateTest : public ::testing::TestWithParam<int> {};

TEST_P(TemplateTest, EveryAddressedControlIsFoundInsideTheClient) {
    const DialogTemplate& t = res::Dialog(GetParam());
    CDialog dialog(t);
    dialog.CreateFromTemplate();
    const QRect client = dialog.Client()->rect();
    for (const ControlTemplate& control : t.controls) {
        if (control.id == IDC_STATIC)
            continue;
        QWidget* widget = dialog.GetDlgItem(control.id);
        ASSERT_NE(widget, nullptr) << control.id;
        EXPECT_TRUE(client.contains(widget->geometry())) << control.id;
        if (control.kind == ControlKind::PushButton || control.kind == ControlKind::Static) {
            EXPECT_EQ(dialog.GetDlgItemText(control.id), QString::fromUtf8(control.text));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllDialogs, TemplateTest,
                         ::testing::Values(res::IDD_ABOUTBOX, res::IDD_VELMOR_DIALOG,
                                           res::IDD_PREVIEW, res::IDD_PROGRESSBAR,
                                           res::IDD_FILESAVE, res::IDD_VIEWLOG, res::IDD_SAVEMSG));

TEST(Resources, StringsAndUnknownIds) {
    EXPECT_EQ(res::LoadString(res::IDS_OLE_INIT_FAILED),
              "OLE initialization failed.  Make sure that the OLE libraries are the correct "
              "version.");
    EXPECT_TRUE(res::LoadString(4711).isEmpty());
    EXPECT_THROW(res::Dialog(4711), std::out_of_range);
    EXPECT_FALSE(res::LoadImage(res::IDR_MAINFRAME, QSize(32, 32)).isNull());
    EXPECT_TRUE(res::LoadImage(4711, QSize(32, 32)).isNull());
}
