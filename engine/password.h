// A password as the user gave it (UTF-8 bytes). Its bytes are wiped
// whenever the object lets them go, so that no freed block or core file
// keeps them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class Password {
public:
    Password() = default;
    explicit Password(std::string_view text) : m_text(text) {}
    Password(const Password& other) : m_text(other.m_text) {}
    Password(Password&& other) noexcept;
    Password& operator=(const Password& other);
    Password& operator=(Password&& other) noexcept;
    ~Password() { Clear(); }

    std::string_view View() const { return m_text; }
    bool Empty() const { return m_text.empty(); }
    void Clear();

private:
    std::string m_text;
};

// Overwrites `size` bytes at `data` in a way the compiler may not drop.
void WipeBytes(void* data, std::size_t size);
