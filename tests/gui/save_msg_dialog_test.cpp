#include "res/resource_ids.h"
#include "workflow/gui/save_msg_dialog.h"
#include "workflow/overwrite_choice.h"
#include "workflow/repair_state.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct ButtonCase {
    int id;
    const char* text;
    int choice;
};

class OverwritePromptButtons : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(OverwritePromptButtons, SetTheChoiceAndCancel) {
    const ButtonCase c = GetParam();
    g_overwriteChoice = OverwriteNotAsked;
    CSaveMsg prompt;
    QTimer::singleShot(0, [&] {
        auto* button = prompt.GetDlgItemAs<QPushButton>(c.id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(c.text));
        button->click();
    });
    EXPECT_EQ(prompt.DoModal(), platform::IDCANCEL);
    EXPECT_EQ(g_overwriteChoice, c.choice);
}

INSTANTIATE_TEST_SUITE_P(
    EachAnswer, OverwritePromptButtons,
    ::testing::Values(ButtonCase{res::IDC_PROMPT_YES, "Yes", OverwriteYes},
                      ButtonCase{res::IDC_PROMPT_NO, "No", OverwriteNo},
                      ButtonCase{res::IDC_PROMPT_YES_ALL, "Yes To All", OverwriteYesToAll},
                      ButtonCase{res::IDC_PROMPT_NO_ALL, "No To All", OverwriteNoToAll}));

// Esc and closing answer nothing: an earlier answer stands (Esc after Yes
// saves again) and without one the file is skipped.
class OverwritePromptUnanswered : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(OverwritePromptUnanswered, LeavesTheChoice) {
    const auto [earlier, byEscape] = GetParam();
    g_overwriteChoice = earlier;
    CSaveMsg prompt;
    QTimer::singleShot(0, [&, byEscape = byEscape] {
        if (byEscape)
            QTest::keyClick(prompt.GetDlgItem(res::IDC_PROMPT_YES), Qt::Key_Escape);
        else
            prompt.close();
        // The prompt has no close box: a close request from elsewhere ends
        // nothing, and the test ends it the way the framework cancels.
        if (prompt.isVisible())
            prompt.reject();
    });
    EXPECT_EQ(prompt.DoModal(), platform::IDCANCEL);
    EXPECT_EQ(g_overwriteChoice, earlier);
}

INSTANTIATE_TEST_SUITE_P(EscOrClose, OverwritePromptUnanswered,
                         ::testing::Combine(::testing::Values(OverwriteNotAsked, OverwriteYes,
                                                              OverwriteNo),
                                            ::testing::Bool()));

TEST(OverwritePrompt, ShowsTheQuestionOverTheSkin) {
    g_appTitle = L"Kelvane for Zip";
    g_appFolder = QStringLiteral(KVZIP_DATA_DIR).toStdWString();
    CSaveMsg prompt;
    prompt.CreateFromTemplate();
    EXPECT_EQ(prompt.windowTitle(), QStringLiteral("Kelvane for Zip"));
    EXPECT_FALSE(prompt.Skin().isNull());
    bool questionFound = false;
    for (const QLabel* label : prompt.Client()->findChildren<QLabel*>())
        questionFound |= label->text() ==
                         QStringLiteral("The file already exist's. Do you want to overwrite files");
    EXPECT_TRUE(questionFound);
    auto* picture = prompt.GetDlgItemAs<QLabel>(res::IDC_PROMPT_PICTURE);
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());
}

} // namespace
