// libFuzzer target: arbitrary bytes, read from memory, through both scans and
// the extraction of every entry they find.
#include "fuzz/salvage_sequence.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
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
    // The engine reads the input where it lies; only the salvaged files
    // are written.
    const auto source = std::make_shared<CMemorySource>(
        std::string_view(reinterpret_cast<const char*>(data), size));
    kvzip_fuzz::RunSalvage(source, WorkRoot() / "out");
    return 0;
}
