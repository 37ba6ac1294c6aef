#include "Utf8.h"

#include <oleauto.h>

#include <climits>
#include <cstddef>

namespace zrxml {

constexpr bool kWide16 = kvutf::kbWide16;

std::wstring Utf8ToWide(std::string_view sv)
{
    std::wstring str;
    str.reserve(sv.size());
    const char* p = sv.data();
    const char* const pEnd = p + sv.size();
    while (p < pEnd)
        kvutf::AppendWide(str, DecodeValidUtf8(p));
    return str;
}

bool WideToUtf8(const wchar_t* psz, std::string& str)
{
    str.clear();
    return kvutf::AppendWideAsUtf8(str, psz, std::char_traits<wchar_t>::length(psz)) == 0;
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
