// The checks on a chosen destination folder.
#include "tests/support/zip_writer.h"
#include "workflow/destination_check.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(DestinationCheck, OnlyAnExistingFolderExists) {
    kvtest::TempDir dir;
    kvtest::WriteFileBytes(dir / "file", "x");
    EXPECT_TRUE(DestinationExists(dir.Path().wstring()));
    EXPECT_FALSE(DestinationExists((dir / "file").wstring()));
    EXPECT_FALSE(DestinationExists((dir / "missing").wstring()));
    EXPECT_FALSE(DestinationExists(L""));
}

TEST(DestinationCheck, TheWriteTestLeavesTheFolderAsItWas) {
    kvtest::TempDir dir;
    kvtest::WriteFileBytes(dir / ".kelvane-write-test-XXXXXX", "mine");
    EXPECT_TRUE(DestinationWritable(dir.Path().wstring()));
    EXPECT_TRUE(DestinationWritable(dir.Path().wstring() + L"/"));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
    EXPECT_EQ(kvtest::ReadFileBytes(dir / ".kelvane-write-test-XXXXXX"), "mine");
}

TEST(DestinationCheck, AFolderThatCannotTakeAFileIsNotWritable) {
    kvtest::TempDir dir;
    EXPECT_FALSE(DestinationWritable((dir / "missing").wstring()));
    EXPECT_FALSE(DestinationWritable(L""));
    if (fs::exists("/proc/self")) {
        EXPECT_FALSE(DestinationWritable(L"/proc/self"));
    }
}

} // namespace
