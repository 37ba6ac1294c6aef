#include "Utf8.h"

#include <oleauto.h>

#include <climits>
#include <cstddef>

namespace zrxml {

namespace {

constexpr bool kWide16 = sizeof(wchar_t) == 2;

void AppendWide(std::wstring& str, char32_t c)
{
    if (kWide16 && c >= 0x10000) {
        c -= 0x10000;
        str += static_cast<wchar_t>(0xD800 + (c >> 10));
        str += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
        str += static_cast<wchar_t>(c);
    }
}

} // namespace

std::wstring Utf8ToWide(std::string_view sv)
{
    std::wstring str;
    str.reserve(sv.size());
    const char* p = sv.data();
    const char* const pEnd = p + sv.size();
    while (p < pEnd)
        AppendWide(str, DecodeValidUtf8(p));
    return str;
}

bool WideToUtf8(const wchar_t* psz, std::string& str)
{
    str.clear();
    for (; *psz; ++psz) {
        char32_t c = static_cast<char32_t>(*psz);
        if (kWide16) {
            c &= 0xFFFF;
            if (c >= 0xD800 && c <= 0xDBFF) {
                const char32_t lo = static_cast<char32_t>(psz[1]) & 0xFFFF;
                if (lo < 0xDC00 || lo > 0xDFFF)
                    return false;
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                ++psz;
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            return false;
        AppendUtf8(str, c);
    }
    return true;
}

BSTR Utf8ToBstr(std::string_view sv)
{
    // Counted first, then converted straight into the string.
    const unsigned char* const pBegin = reinterpret_cast<const unsigned char*>(sv.data());
    const unsigned char* const pEnd = pBegin + sv.size();
    size_t cch = 0;
    unsigned char bAll = 0;
    for (const unsigned char* p = pBegin; p < pEnd; ++p) {
        const unsigned char b = *p;
        bAll |= b;
        cch += (b & 0xC0) != 0x80;
        if (kWide16)
            cch += b >= 0xF0; // a surrogate pair
    }
    if (static_cast<unsigned long long>(cch) > UINT_MAX)
        return nullptr;
    const BSTR bstr = SysAllocStringLen(nullptr, static_cast<UINT>(cch));
    if (!bstr)
        return nullptr;
    wchar_t* pch = bstr;
    if (bAll < 0x80) {
        for (const unsigned char* p = pBegin; p < pEnd; ++p)
            *pch++ = static_cast<wchar_t>(*p);
        return bstr;
    }
    const char* p = sv.data();
    const char* const pTextEnd = p + sv.size();
    while (p < pTextEnd) {
        char32_t c = DecodeValidUtf8(p);
        if (kWide16 && c >= 0x10000) {
            c -= 0x10000;
            *pch++ = static_cast<wchar_t>(0xD800 + (c >> 10));
            *pch++ = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        } else {
            *pch++ = static_cast<wchar_t>(c);
        }
    }
    return bstr;
}

} // namespace zrxml
