// UTF-8, the form the tree keeps its text in, and its conversions to and
// from wide text (UTF-32 or UTF-16 with surrogate pairs, after wchar_t).
#pragma once

#include <windows.h>

#include <oleauto.h> // BSTR

#include <kvutf/Utf.h>

#include <string>
#include <string_view>

namespace zrxml {

using kvutf::AppendUtf8;

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
// lone surrogate, a value beyond U+10FFFF): a replaced character would name
// another node.
bool WideToUtf8(const wchar_t* psz, std::string& str);

// A BSTR of valid UTF-8; null when out of memory.
BSTR Utf8ToBstr(std::string_view sv);

} // namespace zrxml
