// Micro-benchmarks of the scan's inner loops: the signature search over
// bytes that hold no signature, and a whole scan of a file of random bytes.
#include "engine/scan_state.h"
#include "engine/signature_search.h"
#include "engine/zip_archive.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::array<unsigned char, 4> kLocalSignature = {'P', 'K', 3, 4};

std::vector<unsigned char> RandomBytes(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    std::mt19937_64 generator(42);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t word = generator();
        std::memcpy(bytes.data() + i, &word, 8);
    }
    return bytes;
}

void BM_FindSignatureRandom(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::vector<unsigned char> data = RandomBytes(size);
    for (auto _ : state) {
        // Random data holds the pair "PK" every 64 KiB or so and a whole
        // signature almost never: search on from each hit like the scan does.
        std::size_t from = 0;
        std::size_t hits = 0;
        while (from < size) {
            const std::size_t at = FindSignature(data.data() + from, size - from, kLocalSignature);
            if (at == size - from)
                break;
            ++hits;
            from += at + 1;
        }
        benchmark::DoNotOptimize(hits);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(size));
}
BENCHMARK(BM_FindSignatureRandom)->Arg(64 << 10)->Arg(2 << 20);

// A file of random bytes in the temporary folder, removed at exit.
class RandomFile {
public:
    explicit RandomFile(std::size_t size) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvzip-bench-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        const std::vector<unsigned char> bytes = RandomBytes(size);
        if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        close(fd);
        m_path = pattern;
    }
    ~RandomFile() { std::filesystem::remove(m_path); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

void BM_ScanRandomFile(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    constexpr std::size_t kSize = 64 << 20;
    static const RandomFile file(kSize); // page-cached after the first run
    for (auto _ : state) {
        g_repairMode = mode;
        CZipArchive archive;
        archive.OpenArchive(file.Path().wstring(), mode);
        benchmark::DoNotOptimize(archive.GetEntryCount());
        archive.CloseArchive(false);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kSize));
    state.SetLabel(mode == 0 ? "quick" : "advanced");
}
BENCHMARK(BM_ScanRandomFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
