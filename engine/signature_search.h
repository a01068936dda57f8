// Finding record signatures in a block of bytes.
#pragma once

#include <array>
#include <cstddef>

// Index of the first i with all four bytes of `signature` at data[i..i+3],
// or `size` when there is none.
std::size_t FindSignature(const unsigned char* data, std::size_t size,
                          const std::array<unsigned char, 4>& signature);
