#include "log/activity_log.h"
#include "tests/support/log_test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ActivityLog : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_data);
        m_folder.WriteStore(m_data.string(), std::nullopt);
    }

    LogTestFolder m_folder;
    const fs::path m_data = m_folder.Root() / "install dir";
    const fs::path m_log = m_data / "Activity Log.txt";
};

// Where the log goes for one combination of registry values. "$ROOT" is the
// test's folder; "data" and "logs" exist in it, "gone" does not.
struct LookUpCase {
    const char* name;
    std::optional<std::string> filePath;
    std::optional<std::string> logPath;
    const char* expected;
};

class LogLookUp : public ::testing::TestWithParam<LookUpCase> {};

std::optional<std::string> Expand(const std::optional<std::string>& text, const fs::path& root) {
    if (!text)
        return text;
    std::string out = *text;
    if (const auto at = out.find("$ROOT"); at != std::string::npos)
        out.replace(at, 5, root.string());
    return out;
}

} // namespace

TEST_P(LogLookUp, ResolvesTheFolderTheRegistryNames) {
    LogTestFolder folder;
    fs::create_directory(folder.Root() / "data");
    fs::create_directory(folder.Root() / "logs");
    const LookUpCase& c = GetParam();
    folder.WriteStore(Expand(c.filePath, folder.Root()), Expand(c.logPath, folder.Root()));
    EXPECT_EQ(ResolveActivityLogPath(), fs::path(*Expand(c.expected, folder.Root())).wstring());
}

INSTANTIATE_TEST_SUITE_P(
    Registry, LogLookUp,
    ::testing::Values(
        LookUpCase{"NoLogPath", "$ROOT/data", std::nullopt, "$ROOT/data/Activity Log.txt"},
        LookUpCase{"EmptyLogPath", "$ROOT/data", "", "$ROOT/data/Activity Log.txt"},
        LookUpCase{"MissingLogFolder", "$ROOT/data", "$ROOT/gone", "$ROOT/data/Activity Log.txt"},
        LookUpCase{"ExistingLogFolder", "$ROOT/data", "$ROOT/logs", "$ROOT/logs/Activity Log.txt"},
        LookUpCase{"TrailingSeparatorKept", "$ROOT/data/", std::nullopt,
                   "$ROOT/data/Activity Log.txt"},
        LookUpCase{"LogPathTooLong", "$ROOT/data", "$ROOT/" + std::string(260, 'x'),
                   "$ROOT/data/Activity Log.txt"},
        // Without a data folder the log can write, the user's state folder.
        LookUpCase{"MissingDataFolder", "$ROOT/gone", std::nullopt,
                   "$ROOT/state/kelvane-zip/Activity Log.txt"},
        LookUpCase{"NeitherValue", std::nullopt, std::nullopt,
                   "$ROOT/state/kelvane-zip/Activity Log.txt"},
        // The package's folders are never written at run time, even where
        // the user (root) may: the log goes to the user's own folders.
        LookUpCase{"SystemDataFolder", "/usr/share", std::nullopt,
                   "$ROOT/state/kelvane-zip/Activity Log.txt"},
        LookUpCase{"SystemLogFolder", "$ROOT/data", "/etc", "$ROOT/data/Activity Log.txt"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(LogLookUpStore, AStoreWithoutTheKeyUsesTheStateFolder) {
    LogTestFolder folder;
    folder.WriteStoreText("[HKEY_CLASSES_ROOT\\OTHER]\nFilePath=/x\n");
    EXPECT_EQ(ResolveActivityLogPath(),
              (folder.StateHome() / "kelvane-zip/Activity Log.txt").wstring());
}

// A system-wide install: the data folder is there but not the user's.
TEST_F(ActivityLog, AReadOnlyDataFolderSendsTheLogToTheUsersStateFolder) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write every folder";
    fs::permissions(m_data, fs::perms::owner_read | fs::perms::owner_exec);
    ::unsetenv("XDG_STATE_HOME");
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", (m_folder.Root() / "home").c_str(), 1);
    EXPECT_EQ(WriteActivityLog(L"x"), 1);
    ::setenv("HOME", savedHome.c_str(), 1);
    fs::permissions(m_data, fs::perms::owner_all);
    const fs::path state = m_folder.Root() / "home/.local/state/kelvane-zip";
    EXPECT_EQ(LogTestFolder::Read(state / "Activity Log.txt"), "x");
    // Made private, as the base directory rules ask.
    EXPECT_EQ(fs::status(state).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(state.parent_path()).permissions(), fs::perms::owner_all);
}

TEST(ReadRegistryStringTest, ReadsOrYieldsEmptyAndAlwaysCloses) {
    LogTestFolder folder;
    folder.WriteStore("/install", std::string(259, 'y'));
    const fs::path store = folder.Root() / "registry.ini";
    EXPECT_EQ(
        ReadRegistryString(platform::RegistryKey::OpenClassesRoot(store, L"KVZIP"), L"FilePath"),
        L"/install");
    EXPECT_EQ(
        ReadRegistryString(platform::RegistryKey::OpenClassesRoot(store, L"KVZIP"), L"LogPath"),
        std::wstring(259, L'y'));
    EXPECT_EQ(
        ReadRegistryString(platform::RegistryKey::OpenClassesRoot(store, L"KVZIP"), L"Missing"),
        L"");
    EXPECT_EQ(ReadRegistryString(std::nullopt, L"FilePath"), L"");
}

TEST_F(ActivityLog, TheFirstWriteCreatesTheFileWithExactlyTheText) {
    EXPECT_EQ(WriteActivityLog(L"\r\n"), 1);
    EXPECT_EQ(WriteActivityLog(
                  L"******************* Repairing aborted***********************************"),
              1);
    EXPECT_EQ(WriteActivityLog(L"\r\n"), 1);
    EXPECT_EQ(WriteActivityLog(L"Source File : /home/u/R\u00E9sum\u00E9 \u20AC.zip"), 1);
    EXPECT_EQ(LogTestFolder::Read(m_log),
              "\r\n******************* Repairing aborted***********************************"
              "\r\nSource File : /home/u/R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC.zip");
}

TEST_F(ActivityLog, WritesStopAtTheFirstNulAndAnEmptyTextWritesNothing) {
    EXPECT_EQ(WriteActivityLog(std::wstring_view(L"ab\0cd", 5)), 1);
    EXPECT_EQ(WriteActivityLog(L""), 1);
    EXPECT_EQ(LogTestFolder::Read(m_log), "ab");
}

TEST_F(ActivityLog, GoesToAnExistingLogPathFolder) {
    const fs::path logs = m_folder.Root() / "logs";
    fs::create_directory(logs);
    m_folder.WriteStore(m_data.string(), logs.string());
    EXPECT_EQ(WriteActivityLog(L"x"), 1);
    EXPECT_EQ(LogTestFolder::Read(logs / "Activity Log.txt"), "x");
    EXPECT_FALSE(fs::exists(m_log));
    // The registry is read at every write: a changed value takes effect at once.
    m_folder.WriteStore(m_data.string(), std::nullopt);
    EXPECT_EQ(WriteActivityLog(L"y"), 1);
    EXPECT_EQ(LogTestFolder::Read(m_log), "y");
}

TEST_F(ActivityLog, AFolderThatCannotHoldTheLogFailsQuietly) {
    const fs::path notAFolder = m_folder.Root() / "plain file";
    LogTestFolder::Write(notAFolder, "data");
    m_folder.WriteStore(notAFolder.string(), std::nullopt);
    // Nor can the state folder be made: the text is lost, nothing else harmed.
    ::setenv("XDG_STATE_HOME", (notAFolder / "state").c_str(), 1);
    EXPECT_EQ(WriteActivityLog(L"lost"), 0);
    EXPECT_EQ(LogTestFolder::Read(notAFolder), "data");
}

// A log at the limit keeps growing; one byte past it is emptied first.
class LogSizeLimit : public ActivityLog, public ::testing::WithParamInterface<std::uint64_t> {};

TEST_P(LogSizeLimit, ResetsOnlyPastFiveMebibytes) {
    const std::uint64_t size = GetParam();
    LogTestFolder::Write(m_log, std::string(size, 'o'));
    EXPECT_EQ(WriteActivityLog(L"\r\nnext"), 1);
    const std::string after = LogTestFolder::Read(m_log);
    if (size <= kActivityLogLimit) {
        ASSERT_EQ(after.size(), size + 6);
        EXPECT_EQ(after.substr(size), "\r\nnext");
    } else {
        EXPECT_EQ(after, "\r\nnext");
    }
}

INSTANTIATE_TEST_SUITE_P(Boundary, LogSizeLimit,
                         ::testing::Values(kActivityLogLimit, kActivityLogLimit + 1));

// The log's permissions are the user's: a read-only log is never made
// writable. Only a user bound by them sees the write fail and is told.
TEST_F(ActivityLog, AReadOnlyLogKeepsItsPermissions) {
    LogTestFolder::Write(m_log, "old");
    fs::permissions(m_log, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::vector<int> failures;
    SetActivityLogErrorHandler(
        [&failures](const std::wstring&, int error) { failures.push_back(error); });
    const int written = WriteActivityLog(L" new");
    SetActivityLogErrorHandler({});
    struct stat info {};
    ASSERT_EQ(::stat(m_log.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
    if (::geteuid() != 0) {
        EXPECT_EQ(written, 0);
        EXPECT_EQ(LogTestFolder::Read(m_log), "old");
        EXPECT_EQ(failures, std::vector<int>{EACCES});
    } else {
        EXPECT_EQ(written, 1);
        EXPECT_TRUE(failures.empty());
    }
}

// The cut keeps at most 200 bytes and never half a character.
struct CutCase {
    const char* name;
    std::wstring text;
    std::string expected;
};

class LogCut : public ActivityLog, public ::testing::WithParamInterface<CutCase> {};

TEST_P(LogCut, KeepsWholeCharactersWithinTwoHundredBytes) {
    EXPECT_EQ(WriteActivityLog(GetParam().text), 1);
    const std::string stored = LogTestFolder::Read(m_log);
    EXPECT_LE(stored.size(), kActivityLogWriteLimit);
    EXPECT_EQ(stored, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LogCut,
    ::testing::Values(
        CutCase{"Ascii250", std::wstring(250, L'a'), std::string(200, 'a')},
        CutCase{"Ascii200", std::wstring(200, L'b'), std::string(200, 'b')},
        CutCase{"TwoByteAcrossTheEdge", std::wstring(199, L'a') + L"\u00E9", std::string(199, 'a')},
        CutCase{"TwoByteFitting", std::wstring(150, L'\u00E9'),
                [] {
                    std::string s;
                    for (int i = 0; i < 100; ++i)
                        s += "\xC3\xA9";
                    return s;
                }()},
        CutCase{"ThreeByte", std::wstring(70, L'\u20AC'),
                [] {
                    std::string s;
                    for (int i = 0; i < 66; ++i)
                        s += "\xE2\x82\xAC";
                    return s;
                }()},
        CutCase{"FourByte", std::wstring(198, L'z') + L"\U0001F600", std::string(198, 'z')}),
    [](const auto& test) { return std::string(test.param.name); });

namespace {

std::set<std::string> LinesOf(const std::string& text) {
    std::set<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.insert(line);
    return lines;
}

void WriteLines(const std::string& who, int count) {
    for (int i = 0; i < count; ++i)
        WriteActivityLog(std::wstring(L"\n") + fs::path(who + " " + std::to_string(i)).wstring());
}

} // namespace

TEST_F(ActivityLog, ConcurrentWritersLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kLines = 150;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back(WriteLines, "thread" + std::to_string(t), kLines);
    for (auto& writer : writers)
        writer.join();

    const auto lines = LinesOf(LogTestFolder::Read(m_log));
    EXPECT_EQ(lines.size(), std::size_t(kThreads * kLines));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLines; i += 37)
            EXPECT_TRUE(lines.count("thread" + std::to_string(t) + " " + std::to_string(i)));
}

TEST_F(ActivityLog, AnotherProcessWritingAtTheSameTimeLosesNothing) {
    constexpr int kLines = 200;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        WriteLines("child", kLines);
        ::_exit(0);
    }
    WriteLines("parent", kLines);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const auto lines = LinesOf(LogTestFolder::Read(m_log));
    EXPECT_EQ(lines.size(), std::size_t(2 * kLines));
    EXPECT_TRUE(lines.count("child " + std::to_string(kLines - 1)));
    EXPECT_TRUE(lines.count("parent " + std::to_string(kLines - 1)));
}
