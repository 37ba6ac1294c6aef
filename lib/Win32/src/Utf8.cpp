// Wide text (UTF-32 here) to and from the UTF-8 of host file names.
#include "Internal.h"

#include <kvutf/Utf.h>

#include <algorithm>
#include <cstring>

static_assert(sizeof(wchar_t) == 4, "this layer expects UTF-32 wide characters");

namespace kvwin32 {
namespace detail {

bool AppendUtf8(std::string& strOut, const wchar_t* pch, std::size_t cch)
{
    const wchar_t* const pEnd = pch + cch;
    for (;;) {
        const wchar_t* const pStop = std::find(pch, pEnd, kwcBackslashInName);
        // A replaced character would name another file.
        if (kvutf::AppendWideAsUtf8(strOut, pch, static_cast<std::size_t>(pStop - pch)) != 0)
            return false;
        if (pStop == pEnd)
            return true;
        strOut += '\\';
        pch = pStop + 1;
    }
}

std::wstring DecodeUtf8(const char* psz)
{
    std::wstring str;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(psz);
    std::size_t cb = std::strlen(psz);
    while (cb > 0) {
        char32_t c = 0;
        const int n = kvutf::DecodeUtf8(p, cb, c);
        if (n == 0 || c == kwcBackslashInName) {
            // Kept apart from U+FFFD, so that two such names stay two names;
            // a name that holds the stand-in itself is one of these too, or
            // it would open the file whose name holds a backslash.
            const int cbKept = n == 0 ? 1 : n;
            for (int i = 0; i < cbKept; ++i)
                str += static_cast<wchar_t>(0xDC00 + p[i]);
            p += cbKept;
            cb -= static_cast<std::size_t>(cbKept);
        } else {
            str += c == U'\\' ? kwcBackslashInName : static_cast<wchar_t>(c);
            p += n;
            cb -= static_cast<std::size_t>(n);
        }
    }
    return str;
}

} // namespace detail
} // namespace kvwin32
