// Wide text (UTF-32 here) to and from the UTF-8 of host file names.
#include "Internal.h"

static_assert(sizeof(wchar_t) == 4, "this layer expects UTF-32 wide characters");

namespace kvwin32 {
namespace detail {

bool AppendUtf8(std::string& strOut, const wchar_t* pch, std::size_t cch)
{
    // Encoded on the stack and appended in pieces: no zero fill, no byte-wise growth.
    char aBuf[256];
    std::size_t cb = 0;
    for (std::size_t i = 0; i < cch; ++i) {
        if (cb > sizeof aBuf - 4) {
            strOut.append(aBuf, cb);
            cb = 0;
        }
        const std::uint32_t c = static_cast<std::uint32_t>(pch[i]);
        if (c < 0x80) {
            aBuf[cb++] = static_cast<char>(c);
        } else if (c < 0x800) {
            aBuf[cb++] = static_cast<char>(0xC0 | (c >> 6));
            aBuf[cb++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            return false;
        } else if (c < 0x10000) {
            aBuf[cb++] = static_cast<char>(0xE0 | (c >> 12));
            aBuf[cb++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            aBuf[cb++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            aBuf[cb++] = static_cast<char>(0xF0 | (c >> 18));
            aBuf[cb++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            aBuf[cb++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            aBuf[cb++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    strOut.append(aBuf, cb);
    return true;
}

namespace {

// Length of the valid sequence starting at p (1 to 4), or 0 when the bytes
// there are not valid UTF-8 (overlong forms and encoded surrogates included).
int SequenceLength(const unsigned char* p, std::uint32_t& c)
{
    const unsigned char b = p[0];
    int n;
    std::uint32_t uMin;
    if (b < 0x80) {
        c = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        c = b & 0x1F;
        n = 2;
        uMin = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        c = b & 0x0F;
        n = 3;
        uMin = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        c = b & 0x07;
        n = 4;
        uMin = 0x10000;
    } else {
        return 0;
    }
    for (int k = 1; k < n; ++k) {
        // The terminating null is not a continuation byte, so this stops there.
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (c < uMin || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

std::wstring DecodeUtf8(const char* psz)
{
    std::wstring str;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(psz);
    while (*p) {
        std::uint32_t c = 0;
        const int n = SequenceLength(p, c);
        if (n == 0) {
            str += static_cast<wchar_t>(0xDC00 + *p);
            ++p;
        } else {
            str += static_cast<wchar_t>(c);
            p += n;
        }
    }
    return str;
}

} // namespace detail
} // namespace kvwin32
