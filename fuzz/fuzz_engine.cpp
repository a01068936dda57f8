// libFuzzer target: arbitrary bytes through both scans and the extraction of
// every entry they find.
#include "fuzz/salvage_sequence.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxInput = 1024 * 1024;

std::filesystem::path WorkRoot() {
    static const std::filesystem::path root = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvzip-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return std::filesystem::path(pattern);
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxInput)
        return -1;
    const std::filesystem::path root = WorkRoot();
    const std::filesystem::path archive = root / "input.zip";
    std::FILE* file = std::fopen(archive.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    kvzip_fuzz::RunSalvage(archive, root / "out");
    std::filesystem::remove(archive);
    return 0;
}
