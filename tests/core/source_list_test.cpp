#include "workflow/repair_state.h"

#include <gtest/gtest.h>

namespace {

class SourceList : public ::testing::Test {
protected:
    void TearDown() override { FreeSourceFiles(); }
};

} // namespace

TEST_F(SourceList, AnEmptyListHasNoPaths) {
    EXPECT_EQ(g_sourceFiles, nullptr);
    for (int index : {-1, 0, 1})
        EXPECT_EQ(GetSourcePath(index), L"");
}

TEST_F(SourceList, PathsComeBackInAppendOrder) {
    const std::vector<std::wstring> paths = {L"/a/one.zip", L"/b/tw\u00F6.zip", L"/c/three.zip"};
    for (const auto& path : paths)
        AppendSourceFile(path);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(GetSourcePath(i), paths[i]);
    // Index == count, past it, and negative: empty, not an error.
    for (int index : {3, 4, -1})
        EXPECT_EQ(GetSourcePath(index), L"");
    ASSERT_NE(g_sourceFiles, nullptr);
    EXPECT_EQ(g_sourceFiles->next->next->next, nullptr);
}

TEST_F(SourceList, FreeingEmptiesTheListAndARebuildHoldsOnlyTheNewFiles) {
    AppendSourceFile(L"/old/1.zip");
    AppendSourceFile(L"/old/2.zip");
    g_sourceFileCount = 2;
    FreeSourceFiles();
    EXPECT_EQ(g_sourceFiles, nullptr);
    EXPECT_EQ(g_sourceFileCount, 2); // the next Repair sets it again
    EXPECT_EQ(GetSourcePath(0), L"");

    AppendSourceFile(L"/new/b.zip");
    EXPECT_EQ(GetSourcePath(0), L"/new/b.zip");
    EXPECT_EQ(GetSourcePath(1), L"");
    FreeSourceFiles();
    FreeSourceFiles(); // freeing an empty list is harmless
    EXPECT_EQ(g_sourceFiles, nullptr);
}

TEST(RepairState, StartsAsTheProgramExpects) {
    EXPECT_EQ(g_appTitle, L"Kelvane for Zip");
    EXPECT_EQ(g_appRegistryKey, L"KVZIP");
    EXPECT_EQ(g_skipPreview, 0);
    EXPECT_EQ(g_saveCurrentOnly, 0);
    EXPECT_FALSE(g_scanFile.IsOpen());
    EXPECT_EQ(g_analysisThread.Ending(), platform::WorkerEnding::NotStarted);
}
