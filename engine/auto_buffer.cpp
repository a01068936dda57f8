#include "engine/auto_buffer.h"

#include <cstring>

CAutoBuffer::CAutoBuffer(const CAutoBuffer& other) {
    *this = other;
}

CAutoBuffer& CAutoBuffer::operator=(const CAutoBuffer& other) {
    if (this == &other)
        return *this;
    Release();
    if (other.m_size > 0) {
        m_data = new char[other.m_size];
        m_size = other.m_size;
        std::memcpy(m_data, other.m_data, m_size);
    }
    return *this;
}

CAutoBuffer::~CAutoBuffer() {
    Release();
}

char* CAutoBuffer::Allocate(std::uint32_t size) {
    if (size == m_size)
        return m_data;
    Release();
    if (size > 0) {
        m_data = new char[size];
        m_size = size;
    }
    return m_data;
}

void CAutoBuffer::Release() {
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
}
