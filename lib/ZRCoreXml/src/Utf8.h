// UTF-8, the form the tree keeps its text in, and its conversions to and
// from wide text (UTF-32 or UTF-16 with surrogate pairs, after wchar_t).
#pragma once

#include <windows.h>

#include <oleauto.h> // BSTR

#include <string>
#include <string_view>

namespace zrxml {

inline void AppendUtf8(std::string& str, char32_t c)
{
    if (c < 0x80) {
        str += static_cast<char>(c);
    } else if (c < 0x800) {
        str += static_cast<char>(0xC0 | (c >> 6));
        str += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        str += static_cast<char>(0xE0 | (c >> 12));
        str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        str += static_cast<char>(0xF0 | (c >> 18));
        str += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One code point of UTF-8 already known valid, advancing p past it.
inline char32_t DecodeValidUtf8(const char*& p)
{
    const unsigned char b = static_cast<unsigned char>(*p++);
    if (b < 0x80)
        return b;
    int nMore = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> nMore);
    while (nMore-- > 0)
        c = (c << 6) | (static_cast<unsigned char>(*p++) & 0x3F);
    return c;
}

// Valid UTF-8 to wide text.
std::wstring Utf8ToWide(std::string_view sv);

// Wide text to UTF-8; false when it holds no valid character sequence (a
// lone surrogate, a value beyond U+10FFFF).
bool WideToUtf8(const wchar_t* psz, std::string& str);

// A BSTR of valid UTF-8; null when out of memory.
BSTR Utf8ToBstr(std::string_view sv);

} // namespace zrxml
