#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <iconv.h>
#include <langinfo.h>
#include <map>
#include <mutex>
#include <vector>

namespace platform {

namespace {

// 0x80..0x9F of Windows-1252; the five unassigned bytes keep their C1 value.
constexpr wchar_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Opening a converter loads its module: each is opened once and kept until
// the process ends. A converter carries state, so it is used under the lock.
class ConverterCache {
public:
    ~ConverterCache() {
        for (const auto& [name, converter] : m_converters)
            if (converter != kNoConverter)
                iconv_close(converter);
    }
    iconv_t GetLocked(const std::string& codePage) {
        const auto found = m_converters.find(codePage);
        if (found != m_converters.end())
            return found->second;
        const iconv_t converter = iconv_open("WCHAR_T", codePage.c_str());
        m_converters.emplace(codePage, converter);
        return converter;
    }

private:
    std::map<std::string, iconv_t> m_converters;
};

std::mutex g_converterMutex;
ConverterCache g_converters;

// The length of the UTF-8 sequence that starts with `lead` and the smallest
// code point it may carry; 0 for a byte that starts none.
int SequenceLength(unsigned char lead, char32_t& smallest) {
    if (lead < 0x80) {
        smallest = 0;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        smallest = 0x80;
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        smallest = 0x800;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        smallest = 0x10000;
        return 4;
    }
    return 0;
}

} // namespace

wchar_t DecodeWindows1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return kWindows1252High[byte - 0x80];
    return static_cast<wchar_t>(byte);
}

void InitLocale() {
    std::setlocale(LC_ALL, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
        std::strcmp(codeset, "ASCII") == 0) {
        if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
            std::setlocale(LC_CTYPE, "C.utf8");
    }
}

std::wstring DecodeLocal(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::mbstate_t state{};
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            // ASCII is the same in every charset the program meets.
            out += static_cast<wchar_t>(byte);
            ++i;
            continue;
        }
        wchar_t wc = 0;
        const std::size_t n = std::mbrtowc(&wc, bytes.data() + i, bytes.size() - i, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2) || n == 0) {
            state = std::mbstate_t{};
            out += static_cast<wchar_t>(0xDC00 + byte);
            ++i;
            continue;
        }
        out += wc;
        i += n;
    }
    return out;
}

std::string EncodeLocal(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t wc : text) {
        if (wc >= 0 && wc < 0x80) {
            out += static_cast<char>(wc);
            continue;
        }
        if (IsEscapedByte(wc)) {
            out += static_cast<char>(wc - 0xDC00);
            continue;
        }
        const std::size_t n = std::wcrtomb(buffer, wc, &state);
        if (n == static_cast<std::size_t>(-1)) {
            state = std::mbstate_t{};
            out += '?';
            continue;
        }
        out.append(buffer, n);
    }
    return out;
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t c = 0;
        if (b0 < 0x80) {
            c = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1;
            c = b0 & 0x1F;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2;
            c = b0 & 0x0F;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3;
            c = b0 & 0x07;
        } else {
            out += DecodeWindows1252(b0);
            ++i;
            continue;
        }
        bool valid = true;
        for (int k = 1; valid && k <= extra; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (!valid) {
            out += DecodeWindows1252(b0);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        char32_t smallest = 0;
        const int length = SequenceLength(lead, smallest);
        if (length == 0 || i + length > bytes.size())
            return false;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(length);
    }
    return true;
}

bool IsKnownCodePage(const std::string& codePage) {
    const std::lock_guard<std::mutex> lock(g_converterMutex);
    return g_converters.GetLocked(codePage) != kNoConverter;
}

std::wstring DecodeCodePage(std::string_view bytes, const std::string& codePage) {
    std::wstring out;
    out.reserve(bytes.size());
    const std::lock_guard<std::mutex> lock(g_converterMutex);
    const iconv_t converter = g_converters.GetLocked(codePage);
    if (converter == kNoConverter) {
        for (char byte : bytes)
            out += static_cast<unsigned char>(byte) < 0x80 ? static_cast<wchar_t>(byte) : L'\uFFFD';
        return out;
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::vector<wchar_t> buffer(bytes.size() + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    for (;;) {
        char* outStart = reinterpret_cast<char*>(buffer.data());
        char* outPos = outStart;
        std::size_t outLeft = buffer.size() * sizeof(wchar_t);
        // With no input left, this writes what a stateful code page still holds.
        const std::size_t result = inLeft > 0
                                       ? iconv(converter, &in, &inLeft, &outPos, &outLeft)
                                       : iconv(converter, nullptr, nullptr, &outPos, &outLeft);
        out.append(buffer.data(), static_cast<std::size_t>(outPos - outStart) / sizeof(wchar_t));
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno == E2BIG)
            continue;
        // EILSEQ, or EINVAL for a character cut short by the end: one byte
        // is given up and the rest still read.
        out += L'\uFFFD';
        ++in;
        --inLeft;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::wstring ToNativeSeparators(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/' || c == L'\\')
            c = kNativeSeparator;
    }
    return path;
}

} // namespace platform
