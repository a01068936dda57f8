// Finding signatures through the read-ahead window, at every kind of place.
#include "engine/scan_window.h"
#include "engine/signature_search.h"
#include "tests/engine/engine_fixture.h"

#include <fstream>

namespace kvtest {
namespace {

constexpr std::size_t kWindow = 2 * 1024 * 1024;

// Noise that holds no 'P', so the only signatures are the ones placed.
std::string Filler(std::size_t size, std::uint32_t seed) {
    std::string bytes = NoiseBytes(size, seed);
    for (char& c : bytes) {
        if (c == 'P')
            c = 'Q';
    }
    return bytes;
}

TEST(FindSignatureBlock, EveryOffsetOfSmallBlocks) {
    // Sizes around the 16-byte stride of the vector search.
    for (std::size_t size = 0; size <= 40; ++size) {
        for (std::size_t at = 0; at + 4 <= size; ++at) {
            std::string block = Filler(size, static_cast<std::uint32_t>(size));
            Overwrite(block, at, "PK\x03\x04");
            const auto* data = reinterpret_cast<const unsigned char*>(block.data());
            ASSERT_EQ(FindSignature(data, size, kLocalHeaderSignature), at)
                << "size " << size << " at " << at;
            ASSERT_EQ(FindSignature(data, size, kCentralHeaderSignature), size);
        }
    }
}

TEST(FindSignatureBlock, NearMissesAreNotMatches) {
    const std::string block = "PPK\x03PK\x03\x05PK\x01\x04KP\x03\x04PK\x03";
    const auto* data = reinterpret_cast<const unsigned char*>(block.data());
    EXPECT_EQ(FindSignature(data, block.size(), kLocalHeaderSignature), block.size());
    const std::string hit = block + "\x04";
    EXPECT_EQ(FindSignature(reinterpret_cast<const unsigned char*>(hit.data()), hit.size(),
                            kLocalHeaderSignature),
              block.size() - 3);
}

class WindowTest : public ::testing::Test {
protected:
    CScanWindow& Load(const std::string& bytes) {
        WriteFileBytes(m_dir / "f.bin", bytes);
        m_storage.OpenStorage(Wide(m_dir / "f.bin"), 0);
        m_window = std::make_unique<CScanWindow>(m_storage, bytes.size());
        return *m_window;
    }
    TempDir m_dir;
    CZipStorage m_storage;
    std::unique_ptr<CScanWindow> m_window;
};

class SignaturePosition : public WindowTest, public ::testing::WithParamInterface<std::uint64_t> {};

TEST_P(SignaturePosition, FoundWhereverItLies) {
    const std::size_t size = kWindow * 2 + 1000;
    const std::uint64_t at = GetParam() < size ? GetParam() : size - 4;
    std::string bytes = Filler(size, 3);
    Overwrite(bytes, at, "PK\x03\x04");
    CScanWindow& window = Load(bytes);
    EXPECT_EQ(window.Find(0, size, kLocalHeaderSignature), at);
    // Starting right on it, just after it, and with a limit just short of it.
    EXPECT_EQ(window.Find(at, size, kLocalHeaderSignature), at);
    EXPECT_EQ(window.Find(at + 1, size, kLocalHeaderSignature), size);
    EXPECT_EQ(window.Find(0, at, kLocalHeaderSignature), at);
    if (at > 0) {
        EXPECT_EQ(window.Find(at - 1, size, kLocalHeaderSignature), at);
    }
    // Reads across the window edge give the file's bytes.
    char read[8] = {};
    const std::uint64_t from = at >= 2 ? at - 2 : 0;
    const std::size_t got = window.ReadAt(from, read, sizeof read);
    EXPECT_EQ(std::string(read, got), bytes.substr(from, sizeof read));
}

INSTANTIATE_TEST_SUITE_P(Table, SignaturePosition,
                         ::testing::Values(0, 1, 7, 12345, kWindow / 2, kWindow - 4, kWindow - 3,
                                           kWindow - 2, kWindow - 1, kWindow, kWindow + 1,
                                           2 * kWindow - 2, 2 * kWindow + 995, ~std::uint64_t{0}));

TEST_F(WindowTest, SearchesWalkFromWindowToWindowInOrder) {
    const std::size_t size = kWindow * 3 + 10;
    std::string bytes = Filler(size, 4);
    const std::vector<std::uint64_t> placed = {5, kWindow - 2, kWindow + 2, 2 * kWindow - 1,
                                               3 * kWindow + 6};
    for (std::uint64_t at : placed)
        Overwrite(bytes, at, "PK\x01\x02");
    CScanWindow& window = Load(bytes);
    std::vector<std::uint64_t> found;
    for (std::uint64_t p = window.Find(0, size, kCentralHeaderSignature); p < size;
         p = window.Find(p + 1, size, kCentralHeaderSignature))
        found.push_back(p);
    EXPECT_EQ(found, placed);
    // A jump back behind the window refills it.
    EXPECT_EQ(window.Find(0, size, kCentralHeaderSignature), 5u);
}

TEST_F(WindowTest, TinyFilesHoldNoSignature) {
    for (const char* text : {"", "PK\x03", "xPK"}) {
        const std::string bytes = text;
        CScanWindow& window = Load(bytes);
        EXPECT_EQ(window.Find(0, bytes.size(), kLocalHeaderSignature), bytes.size());
    }
}

class LargeFile : public EngineTest {};

TEST_F(LargeFile, ScanWalksPastFourGibibytes) {
    // A sparse file of 4 GiB + 100 bytes: the walk jumps from header to
    // header, so only a few pages are read. With 32-bit positions the length
    // would be cut to 100, or clamped below 4 GiB and the last header lost.
    const std::uint64_t second = 0xFFFFFF00u;
    const std::uint64_t size = 0x100000064ull;
    const std::string first = LocalHeaderBytes(20, 0, 0, 0, 0, 1, second - 31, 0, "a", 1, "", 0);
    const std::string last = LocalHeaderBytes(20, 0, 0, 0, 0, 2, 0, 0, "b", 1, "", 0);
    const std::string beyond = LocalHeaderBytes(20, 0, 0, 0, 0, 3, 0, 0, "c", 1, "", 0);
    m_archivePath = m_dir / "archive.zip";
    {
        std::ofstream out(m_archivePath, std::ios::binary);
        out.write(first.data(), static_cast<std::streamsize>(first.size()));
        out.seekp(static_cast<std::streamoff>(second));
        out.write(last.data(), static_cast<std::streamsize>(last.size()));
        out.seekp(static_cast<std::streamoff>(0x100000010ull));
        out.write(beyond.data(), static_cast<std::streamsize>(beyond.size()));
        out.seekp(static_cast<std::streamoff>(size - 1));
        out.put('\0');
        ASSERT_TRUE(out.good()) << "no room for a sparse file";
    }
    m_archive->OpenArchive(Wide(m_archivePath), 0);
    const std::vector<CFileHeader> entries = FetchAll(*m_archive);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, L"a");
    EXPECT_EQ(entries[1].name, L"b");
    EXPECT_EQ(entries[1].localHeaderOffset, second);
    EXPECT_EQ(entries[2].name, L"c");
    EXPECT_EQ(entries[2].localHeaderOffset, 0x100000010ull);
}

} // namespace
} // namespace kvtest
