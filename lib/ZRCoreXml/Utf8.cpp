#include "Utf8.h"

#include <oleauto.h>

#include <new>

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
    try {
        const std::wstring str = Utf8ToWide(sv);
        return SysAllocStringLen(str.c_str(), static_cast<UINT>(str.size()));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace zrxml
