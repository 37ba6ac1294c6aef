// Wide text (UTF-32 here) to and from the UTF-8 of host file names.
#include "Internal.h"

#include <kvutf/Utf.h>

#include <cstring>

static_assert(sizeof(wchar_t) == 4, "this layer expects UTF-32 wide characters");

namespace kvwin32 {
namespace detail {

bool AppendUtf8(std::string& strOut, const wchar_t* pch, std::size_t cch)
{
    // A replaced character would name another file.
    return kvutf::AppendWideAsUtf8(strOut, pch, cch) == 0;
}

std::wstring DecodeUtf8(const char* psz)
{
    std::wstring str;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(psz);
    std::size_t cb = std::strlen(psz);
    while (cb > 0) {
        char32_t c = 0;
        const int n = kvutf::DecodeUtf8(p, cb, c);
        if (n == 0) {
            // Kept apart from U+FFFD, so that two such names stay two names.
            str += static_cast<wchar_t>(0xDC00 + *p);
            ++p;
            --cb;
        } else {
            str += static_cast<wchar_t>(c);
            p += n;
            cb -= static_cast<std::size_t>(n);
        }
    }
    return str;
}

} // namespace detail
} // namespace kvwin32
