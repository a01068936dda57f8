#include "engine/password.h"

#include <string.h>

void WipeBytes(void* data, std::size_t size) {
    if (data != nullptr && size > 0)
        explicit_bzero(data, size);
}

Password::Password(Password&& other) noexcept : m_text(other.m_text) {
    // A move of a short string copies its bytes and leaves them behind.
    other.Clear();
}

Password& Password::operator=(const Password& other) {
    if (this != &other) {
        Clear();
        m_text = other.m_text;
    }
    return *this;
}

Password& Password::operator=(Password&& other) noexcept {
    if (this != &other) {
        Clear();
        m_text = other.m_text;
        other.Clear();
    }
    return *this;
}

void Password::Clear() {
    // The whole capacity: a shorter text may sit where a longer one was.
    WipeBytes(m_text.data(), m_text.capacity());
    m_text.clear();
}
