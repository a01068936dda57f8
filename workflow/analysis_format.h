// The texts of one row of the preview's entry list.
#pragma once

#include <cstdint>
#include <string>

// "1023   Bytes", "1   KB", "1   MB", "4   GB": truncating division by 1024.
std::wstring FormatSizeText(std::uint64_t value);

// compressed x 100 / uncompressed, truncated; 0 when nothing was uncompressed.
std::uint32_t CompressionRatio(std::uint64_t compressedSize, std::uint64_t uncompressedSize);

// CompressionRatio as "%d%%".
std::wstring FormatRatioText(std::uint64_t compressedSize, std::uint64_t uncompressedSize);

// The moment broken down as UTC in the form "05 Mar 2008, 14:07:09"; empty
// when it cannot be broken down or formatted.
std::wstring FormatModifiedTimeText(std::int64_t moment);

// The CRC-32 in unsigned decimal.
std::wstring FormatCrcText(std::uint32_t crc);
