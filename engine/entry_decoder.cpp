#include "engine/entry_decoder.h"

#include <algorithm>

namespace {

constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kDeflate64 = 9;
constexpr std::uint16_t kBzip2 = 12;
constexpr std::uint16_t kLzma = 14;
// Zstandard had 20 before the format gave it 93; writers used both.
constexpr std::uint16_t kZstdOld = 20;
constexpr std::uint16_t kZstd = 93;
constexpr std::uint16_t kXz = 95;
constexpr std::uint16_t kPpmd = 98;

} // namespace

bool BeginsStream(const unsigned char* in, std::size_t inSize, std::string_view magic,
                  unsigned char firstMask) {
    if (inSize == 0)
        return false;
    const std::size_t seen = std::min(inSize, magic.size());
    for (std::size_t i = 0; i < seen; ++i) {
        const unsigned char mask = i == 0 ? firstMask : 0xFF;
        if ((in[i] & mask) != (static_cast<unsigned char>(magic[i]) & mask))
            return false;
    }
    return true;
}

const char* CompressionMethodName(std::uint16_t method) {
    switch (method) {
    case kStored:
        return "stored";
    case kDeflated:
        return "deflated";
    case 1:
        return "shrunk";
    case 2:
    case 3:
    case 4:
    case 5:
        return "reduced";
    case 6:
        return "imploded";
    case 7:
        return "tokenized";
    case kDeflate64:
        return "Deflate64";
    case kBzip2:
        return "bzip2";
    case kLzma:
        return "LZMA";
    case kZstdOld:
    case kZstd:
        return "Zstandard";
    case 94:
        return "MP3";
    case kXz:
        return "xz";
    case 96:
        return "JPEG";
    case 97:
        return "WavPack";
    case kPpmd:
        return "PPMd";
    case 99:
        return "AE-x";
    default:
        return nullptr;
    }
}

std::string MethodLabel(std::uint16_t method) {
    const char* name = CompressionMethodName(method);
    return name != nullptr ? std::string(name) : "method " + std::to_string(method);
}

bool MethodKnown(std::uint16_t method) {
    switch (method) {
    case kStored:
    case kDeflated:
    case kDeflate64:
    case kBzip2:
    case kLzma:
    case kZstdOld:
    case kZstd:
    case kXz:
    case kPpmd:
        return true;
    default:
        return false;
    }
}

bool MethodBuilt(std::uint16_t method) {
    switch (method) {
#ifdef KVZIP_HAVE_BZIP2
    case kBzip2:
        return true;
#endif
#ifdef KVZIP_HAVE_LZMA
    case kLzma:
    case kXz:
        return true;
#endif
#ifdef KVZIP_HAVE_ZSTD
    case kZstdOld:
    case kZstd:
        return true;
#endif
    case kStored:
    case kDeflated:
    case kDeflate64:
    case kPpmd:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<CEntryDecoder> MakeEntryDecoder(std::uint16_t method, void* zlibBlocks) {
    switch (method) {
    case kDeflated:
        return MakeInflateDecoder(zlibBlocks);
    case kDeflate64:
        return MakeDeflate64Decoder();
    case kPpmd:
        return MakePpmdDecoder();
#ifdef KVZIP_HAVE_BZIP2
    case kBzip2:
        return MakeBzip2Decoder();
#endif
#ifdef KVZIP_HAVE_LZMA
    case kLzma:
        return MakeLzmaDecoder();
    case kXz:
        return MakeXzDecoder();
#endif
#ifdef KVZIP_HAVE_ZSTD
    case kZstdOld:
    case kZstd:
        return MakeZstdDecoder();
#endif
    default:
        return nullptr;
    }
}
