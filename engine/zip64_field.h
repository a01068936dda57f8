// The Zip64 extended information extra field (tag 0x0001): 64-bit values
// for the header fields that hold 0xFFFFFFFF.
#pragma once

#include "engine/zip_records.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::uint16_t kZip64FieldTag = 0x0001;
// A 32-bit size or offset with this value is in the Zip64 field.
inline constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;

// A header's sizes and offset, widened to 64 bits.
struct Zip64Values {
    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t localHeaderOffset = 0;
};

// What ApplyZip64Field found.
struct Zip64Result {
    bool present = false; // the extra bytes hold a Zip64 field
    // A field holds the marker but the Zip64 field gives no value for it:
    // its true value is unknown.
    bool sizeUnknown = false;
    bool offsetUnknown = false;
};

// Replaces each value of `values` that holds the marker by the one the Zip64
// field in `extra` gives. The field lists only the values that hold the
// marker, in the order uncompressed size, compressed size, offset; a local
// header's field of 16 bytes or more holds both sizes whatever the markers,
// as the format asks of local headers. A field cut short or with a wrong
// length gives what its bytes hold and no more.
Zip64Result ApplyZip64Field(const unsigned char* extra, std::size_t size, bool localHeader,
                            Zip64Values& values);

// The sizes and offset of a central header (its fixed part in `header`, the
// bytes read of its extra field in `extra`), widened by its Zip64 field.
Zip64Values CentralHeaderValues(const CentralHeaderRecord& header, std::string_view extra,
                                Zip64Result* result = nullptr);
