// An owned block of bytes.
#pragma once

#include <cstdint>

class CAutoBuffer {
public:
    CAutoBuffer() = default;
    explicit CAutoBuffer(std::uint32_t size) { Allocate(size); }
    CAutoBuffer(const CAutoBuffer& other);
    CAutoBuffer& operator=(const CAutoBuffer& other);
    virtual ~CAutoBuffer();

    // Same size: the block and its bytes stay. Otherwise a new block, not cleared.
    char* Allocate(std::uint32_t size);
    void Release();

    char* GetBuffer() { return m_data; }
    const char* GetBuffer() const { return m_data; }
    std::uint32_t GetSize() const { return m_size; }
    bool IsAllocated() const { return m_data != nullptr; }

private:
    char* m_data = nullptr;
    std::uint32_t m_size = 0;
};
