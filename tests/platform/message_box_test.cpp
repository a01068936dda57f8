#include "platform/message_box.h"
#include "tests/support/scripted_message_box.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {
constexpr unsigned kQuestion = MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL;
constexpr unsigned kNotice = MB_OK | MB_ICONINFORMATION;
} // namespace

TEST(MessageBox, WithoutAHandlerNothingIsDoneUnasked) {
    const MessageBoxHandler previous = SetMessageBoxHandler(nullptr);
    EXPECT_EQ(MessageBox(nullptr, L"Do you want to exit ? ", L"t", kQuestion), IDNO);
    EXPECT_EQ(MessageBox(nullptr, L"Saved", L"t", kNotice), IDOK);
    SetMessageBoxHandler(previous);
}

TEST(ScriptedMessageBox, AnswersInOrderAndRecordsEveryBox) {
    int owner = 0;
    ScriptedMessageBox boxes{IDYES, IDNO};
    EXPECT_EQ(MessageBox(&owner, L"first ", L"Kelvane for Zip", kQuestion), IDYES);
    EXPECT_EQ(MessageBox(nullptr, L"second", L"cap", kQuestion), IDNO);
    boxes.Answer({IDOK});
    EXPECT_EQ(MessageBox(nullptr, L"third", L"cap", kNotice), IDOK);
    // Out of script: the defaults, counted so a test can tell.
    EXPECT_EQ(MessageBox(nullptr, L"fourth", L"cap", kQuestion), IDNO);
    EXPECT_EQ(boxes.Unscripted(), 1);

    const auto asked = boxes.AskedBoxes();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[0].text, L"first ");
    EXPECT_EQ(asked[0].caption, L"Kelvane for Zip");
    EXPECT_EQ(asked[0].style, kQuestion);
    EXPECT_EQ(asked[0].owner, &owner);
    EXPECT_EQ(asked[2].style, kNotice);
    EXPECT_EQ(boxes.AskedTexts(),
              (std::vector<std::wstring>{L"first ", L"second", L"third", L"fourth"}));
}

TEST(ScriptedMessageBox, RestoresTheHandlerItReplaced) {
    ScriptedMessageBox outer{IDYES, IDYES};
    {
        ScriptedMessageBox inner{IDNO};
        EXPECT_EQ(MessageBox(nullptr, L"inner", L"c", kQuestion), IDNO);
    }
    EXPECT_EQ(MessageBox(nullptr, L"outer", L"c", kQuestion), IDYES);
    EXPECT_EQ(outer.AskedTexts(), std::vector<std::wstring>{L"outer"});
}
