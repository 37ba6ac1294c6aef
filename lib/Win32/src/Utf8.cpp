// Wide text (UTF-32 here) to and from the UTF-8 of host file names.
#include "Internal.h"

#include <kvwin32.h>

#include <kvutf/Utf.h>

#include <algorithm>
#include <cstring>

static_assert(sizeof(wchar_t) == 4, "this layer expects UTF-32 wide characters");

namespace kvwin32 {
namespace detail {

namespace {

constexpr char kachNotInNames[] = "\\*?:\"<>|";
constexpr wchar_t kwcStandInBase = 0xF000;

} // namespace

wchar_t StandInFor(char32_t c)
{
    return c != 0 && c < 0x80 && std::strchr(kachNotInNames, static_cast<int>(c))
               ? static_cast<wchar_t>(kwcStandInBase + c)
               : 0;
}

char32_t CharacterFor(wchar_t c)
{
    return c > kwcStandInBase && c < kwcStandInBase + 0x80 &&
                   StandInFor(static_cast<char32_t>(c - kwcStandInBase))
               ? static_cast<char32_t>(c - kwcStandInBase)
               : 0;
}

bool AppendUtf8(std::string& strOut, const wchar_t* pch, std::size_t cch)
{
    const wchar_t* const pEnd = pch + cch;
    for (;;) {
        const wchar_t* const pStop = std::find_if(pch, pEnd, [](wchar_t c) { return CharacterFor(c) != 0; });
        // A replaced character would name another file.
        if (kvutf::AppendWideAsUtf8(strOut, pch, static_cast<std::size_t>(pStop - pch)) != 0)
            return false;
        if (pStop == pEnd)
            return true;
        strOut += static_cast<char>(CharacterFor(*pStop));
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
        if (n == 0 || CharacterFor(static_cast<wchar_t>(c))) {
            // Kept apart from U+FFFD, so that two such names stay two names;
            // a name that holds a stand-in itself is one of these too, or it
            // would open the file whose name holds the character.
            const int cbKept = n == 0 ? 1 : n;
            for (int i = 0; i < cbKept; ++i)
                str += static_cast<wchar_t>(0xDC00 + p[i]);
            p += cbKept;
            cb -= static_cast<std::size_t>(cbKept);
        } else {
            const wchar_t wcStandIn = StandInFor(c);
            str += wcStandIn ? wcStandIn : static_cast<wchar_t>(c);
            p += n;
            cb -= static_cast<std::size_t>(n);
        }
    }
    return str;
}

} // namespace detail
} // namespace kvwin32

wchar_t kvwin32::NameStandIn(wchar_t c)
{
    const wchar_t wcStandIn = detail::StandInFor(static_cast<char32_t>(c));
    return wcStandIn ? wcStandIn : c;
}

wchar_t kvwin32::NameCharacter(wchar_t c)
{
    const char32_t cFor = detail::CharacterFor(c);
    return cFor ? static_cast<wchar_t>(cFor) : c;
}
