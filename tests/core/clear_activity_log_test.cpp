#include "log/activity_log.h"
#include "tests/support/log_test_folder.h"
#include "tests/support/scripted_message_box.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class ClearLog : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_data);
        m_folder.WriteStore(m_data.string(), std::nullopt);
        LogTestFolder::Write(m_log, "\r\nold line");
    }
    LogTestFolder m_folder;
    const fs::path m_data = m_folder.Root() / "data";
    const fs::path m_log = m_data / "Activity Log.txt";
};

} // namespace

TEST_F(ClearLog, AnsweredYesLeavesOneLineBreak) {
    // Any address will do: the owner is only passed on.
    ScriptedMessageBox boxes{platform::IDYES};
    ClearActivityLog(&m_folder);
    EXPECT_EQ(LogTestFolder::Read(m_log), "\r\n");

    const auto asked = boxes.AskedBoxes();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, L"Do you want to clear Log File?");
    EXPECT_EQ(asked[0].caption, L"Kelvane for Zip");
    EXPECT_EQ(asked[0].style,
              unsigned(platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_SYSTEMMODAL));
    EXPECT_EQ(asked[0].owner, static_cast<void*>(&m_folder));
}

TEST_F(ClearLog, AnsweredNoLeavesTheLogAlone) {
    ScriptedMessageBox boxes{platform::IDNO};
    ClearActivityLog(nullptr);
    EXPECT_EQ(LogTestFolder::Read(m_log), "\r\nold line");
    EXPECT_EQ(boxes.AskedBoxes().size(), 1u);
    EXPECT_EQ(boxes.AskedBoxes()[0].owner, nullptr);
}

TEST_F(ClearLog, ClearsTheLogBeingWrittenInTheLogPathFolder) {
    const fs::path logs = m_folder.Root() / "logs";
    fs::create_directory(logs);
    m_folder.WriteStore(m_data.string(), logs.string());
    LogTestFolder::Write(logs / "Activity Log.txt", "\r\ncurrent");

    ScriptedMessageBox boxes{platform::IDYES};
    ClearActivityLog(nullptr);
    EXPECT_EQ(LogTestFolder::Read(logs / "Activity Log.txt"), "\r\n");
    EXPECT_EQ(LogTestFolder::Read(m_log), "\r\nold line");
}

TEST_F(ClearLog, ClearsAReadOnlyLogToo) {
    fs::permissions(m_log, fs::perms::owner_read);
    ScriptedMessageBox boxes{platform::IDYES};
    ClearActivityLog(nullptr);
    EXPECT_EQ(LogTestFolder::Read(m_log), "\r\n");
}
