// Decoding state of the entry being read.
#pragma once

#include "engine/auto_buffer.h"

#include <cstdint>

struct CZipInternalInfo {
    CZipInternalInfo() = default;
    CZipInternalInfo(const CZipInternalInfo&) = delete;
    CZipInternalInfo& operator=(const CZipInternalInfo&) = delete;
    virtual ~CZipInternalInfo() = default;

    void AllocateBuffer() { m_readBuffer.Allocate(static_cast<std::uint32_t>(m_bufferSize)); }
    void ReleaseBuffer() { m_readBuffer.Release(); }

    int m_bufferSize = 0x4000;
    // The part of the read buffer not handed to the decoder yet, and all
    // it has taken of the entry's data.
    const unsigned char* m_nextIn = nullptr;
    std::uint32_t m_availIn = 0;
    std::uint64_t m_totalIn = 0;
    // 64 bits wide so that an entry without sizes can run unbounded.
    std::uint64_t m_uncompressedLeft = 0;
    std::uint64_t m_compressedLeft = 0;
    std::uint32_t m_crc = 0;
    CAutoBuffer m_readBuffer;
};
