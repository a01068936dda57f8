// Storage reads, owned buffers and the exception causes.
#include "engine/auto_buffer.h"
#include "engine/scan_state.h"
#include "engine/zip_exception.h"
#include "engine/zip_storage.h"
#include "tests/engine/engine_fixture.h"

#include <cstring>
#include <sys/stat.h>

namespace kvtest {
namespace {

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir / "file.bin";
        WriteFileBytes(m_path, NoiseBytes(129, 7));
        m_storage.OpenStorage(Wide(m_path), 0);
    }
    TempDir m_dir;
    std::filesystem::path m_path;
    CZipStorage m_storage;
};

TEST_F(StorageTest, WholeReadCutShortThrowsCauseTenWithThePath) {
    m_storage.Seek(129 - 29);
    unsigned char buffer[30];
    try {
        m_storage.ReadBytes(buffer, 30, true);
        FAIL() << "no exception";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.m_cause, CZipException::badZipFile);
        EXPECT_EQ(e.m_fileName, Wide(m_path));
    }
    EXPECT_FALSE(m_storage.m_truncated);
}

TEST_F(StorageTest, ReadAtTheEndReturnsNothingAndReportsNothing) {
    m_storage.Seek(129);
    unsigned char buffer[30];
    EXPECT_EQ(m_storage.ReadBytes(buffer, 30, true), 0u);
    EXPECT_EQ(m_storage.ReadBytes(buffer, 30, false), 0u);
    EXPECT_FALSE(m_storage.m_truncated);
}

TEST_F(StorageTest, TolerantShortReadRaisesTheTruncationFlag) {
    m_storage.Seek(29);
    std::string buffer(16384, '\0');
    EXPECT_EQ(m_storage.ReadBytes(buffer.data(), 16384, false), 100u);
    EXPECT_TRUE(m_storage.m_truncated);
    EXPECT_EQ(buffer.substr(0, 100), NoiseBytes(129, 7).substr(29));
}

TEST_F(StorageTest, ArchiveIsOpenedReadOnlyInBothModes) {
    // No write access is ever asked for, so a read-only
    // archive opens and its bytes and times stay as they were.
    ::chmod(m_path.c_str(), 0444);
    struct stat before {};
    ::stat(m_path.c_str(), &before);
    for (int mode : {0, 1}) {
        CZipStorage storage;
        storage.OpenStorage(Wide(m_path), mode);
        const auto& source = dynamic_cast<const CFileSource&>(*storage.GetSource());
        EXPECT_EQ(source.GetFile().GetOpenFlags() & (CFile::modeWrite | CFile::modeReadWrite), 0u);
        EXPECT_EQ(storage.GetLength(), 129u);
        EXPECT_EQ(storage.GetCurrentVolume(), -1);
        storage.CloseStorage();
    }
    struct stat after {};
    ::stat(m_path.c_str(), &after);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

TEST(StorageOpen, MissingFileFailsOnFirstUseNotOnOpen) {
    TempDir dir;
    CZipStorage storage;
    EXPECT_NO_THROW(storage.OpenStorage(Wide(dir / "missing.zip"), 0));
    EXPECT_THROW(storage.GetLength(), CFileException);
}

TEST(StorageOpen, OpenArchiveOnMissingFileThrowsFileException) {
    g_repairMode = 0;
    TempDir dir;
    CZipArchive archive;
    try {
        archive.OpenArchive(Wide(dir / "missing.zip"), 0);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    }
    EXPECT_EQ(archive.GetEntryCount(), 0u);
}

TEST(AutoBuffer, SameSizeKeepsTheBlockAndItsBytes) {
    CAutoBuffer buffer(8);
    char* first = buffer.GetBuffer();
    std::memcpy(first, "ABCDEFGH", 8);
    EXPECT_EQ(buffer.Allocate(8), first);
    EXPECT_EQ(std::string(buffer.GetBuffer(), 8), "ABCDEFGH");
    buffer.Allocate(0);
    EXPECT_FALSE(buffer.IsAllocated());
    EXPECT_EQ(buffer.GetSize(), 0u);
}

TEST(AutoBuffer, CopyIsDeepAndEmptySourceEmptiesTarget) {
    CAutoBuffer source(3);
    std::memcpy(source.GetBuffer(), "xyz", 3);
    CAutoBuffer copy;
    copy = source;
    ASSERT_NE(copy.GetBuffer(), source.GetBuffer());
    source.GetBuffer()[0] = 'Q';
    EXPECT_EQ(std::string(copy.GetBuffer(), 3), "xyz");
    copy = CAutoBuffer();
    EXPECT_FALSE(copy.IsAllocated());
}

struct CauseCase {
    int code;
    int cause;
};
class ZipErrorMapping : public ::testing::TestWithParam<CauseCase> {};

TEST_P(ZipErrorMapping, CodeMapsToCause) {
    EXPECT_EQ(ZipErrorCause(GetParam().code), GetParam().cause);
    try {
        ThrowZipError(GetParam().code, L"a.zip");
    } catch (const CZipException& e) {
        EXPECT_EQ(e.m_cause, GetParam().cause);
        EXPECT_EQ(e.m_fileName, L"a.zip");
    }
}

INSTANTIATE_TEST_SUITE_P(AllCodes, ZipErrorMapping,
                         ::testing::Values(CauseCase{1, 2}, CauseCase{2, 3}, CauseCase{-1, 4},
                                           CauseCase{-2, 5}, CauseCase{-3, 6}, CauseCase{-4, 7},
                                           CauseCase{-5, 8}, CauseCase{-6, 9}, CauseCase{-101, 10},
                                           CauseCase{-102, 11}, CauseCase{-107, 16},
                                           CauseCase{42, 1}, CauseCase{0, 1}, CauseCase{-108, 1}));

} // namespace
} // namespace kvtest
