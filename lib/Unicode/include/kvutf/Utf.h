// UTF-8 and wide text (UTF-16 where wchar_t has 16 bits, as on Windows;
// UTF-32 elsewhere), the one conversion every library and the tool use.
//
// The rule for text that is no valid Unicode: an unpaired surrogate, a value
// past U+10FFFF, or a malformed UTF-8 sequence becomes U+FFFD, and the
// conversion says how many it replaced. Where the text names a file, a
// replacement would name another file, so those callers treat any as a
// failure; text that is only shown (trace, reports, events) keeps the U+FFFD.
//
// Header-only and internal: each DLL compiles its own copy, so none gains a
// dependency.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvutf {

constexpr char32_t kcReplacement = 0xFFFD;
constexpr bool kbWide16 = sizeof(wchar_t) == 2;

constexpr bool IsSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}
constexpr bool IsScalarValue(char32_t c)
{
    return c <= 0x10FFFF && !IsSurrogate(c);
}

// The next character of wide text [p, pEnd), advancing p; a pair of
// surrogates is one character. Whatever is no scalar value comes back as
// U+FFFD with *pbReplaced set.
inline char32_t NextWide(const wchar_t*& p, const wchar_t* pEnd, bool* pbReplaced)
{
    char32_t c = static_cast<char32_t>(*p++);
    if (kbWide16) {
        c &= 0xFFFF;
        if (c >= 0xD800 && c <= 0xDBFF && p < pEnd) {
            const char32_t cLow = static_cast<char32_t>(*p) & 0xFFFF;
            if (cLow >= 0xDC00 && cLow <= 0xDFFF) {
                ++p;
                return 0x10000 + ((c - 0xD800) << 10) + (cLow - 0xDC00);
            }
        }
    }
    if (!IsScalarValue(c)) {
        *pbReplaced = true;
        return kcReplacement;
    }
    return c;
}

// Writes the UTF-8 of a scalar value to pOut (room for 4 bytes); its length.
inline int EncodeUtf8(char32_t c, char* pOut)
{
    if (c < 0x80) {
        pOut[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        pOut[0] = static_cast<char>(0xC0 | (c >> 6));
        pOut[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        pOut[0] = static_cast<char>(0xE0 | (c >> 12));
        pOut[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        pOut[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    pOut[0] = static_cast<char>(0xF0 | (c >> 18));
    pOut[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    pOut[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    pOut[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// Appends one character; whatever is no scalar value is appended as U+FFFD.
inline void AppendUtf8(std::string& str, char32_t c)
{
    char aBuf[4];
    str.append(aBuf, static_cast<std::size_t>(EncodeUtf8(IsScalarValue(c) ? c : kcReplacement, aBuf)));
}

// Appends one scalar value to wide text (a surrogate pair where wchar_t has 16 bits).
inline void AppendWide(std::wstring& str, char32_t c)
{
    if (kbWide16 && c >= 0x10000) {
        c -= 0x10000;
        str += static_cast<wchar_t>(0xD800 + (c >> 10));
        str += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
        str += static_cast<wchar_t>(c);
    }
}

// Wide text to UTF-8, appended to str; how many characters became U+FFFD.
inline std::size_t AppendWideAsUtf8(std::string& str, const wchar_t* p, std::size_t cch)
{
    std::size_t cReplaced = 0;
    const wchar_t* const pEnd = p + cch;
    // Encoded on the stack and appended in pieces: no byte-wise growth.
    char aBuf[256];
    std::size_t cb = 0;
    while (p < pEnd) {
        if (cb > sizeof aBuf - 4) {
            str.append(aBuf, cb);
            cb = 0;
        }
        const char32_t c = static_cast<char32_t>(*p);
        if (c < 0x80) { // the common case, without the general path
            aBuf[cb++] = static_cast<char>(c);
            ++p;
            continue;
        }
        bool bReplaced = false;
        cb += static_cast<std::size_t>(EncodeUtf8(NextWide(p, pEnd, &bReplaced), aBuf + cb));
        cReplaced += bReplaced;
    }
    str.append(aBuf, cb);
    return cReplaced;
}

inline std::string Utf8FromWide(std::wstring_view sv, std::size_t* pcReplaced = nullptr)
{
    std::string str;
    str.reserve(sv.size());
    const std::size_t c = AppendWideAsUtf8(str, sv.data(), sv.size());
    if (pcReplaced)
        *pcReplaced = c;
    return str;
}

// The length (1 to 4) of the valid UTF-8 sequence at p, of the cb bytes
// there, with its character in c; 0 when the bytes there are no valid
// sequence (a stray continuation byte, an overlong form, an encoded
// surrogate, a value past U+10FFFF, a sequence cut short).
inline int DecodeUtf8(const unsigned char* p, std::size_t cb, char32_t& c)
{
    const unsigned char b = p[0];
    int n;
    char32_t cMin;
    if (b < 0x80) {
        c = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        c = b & 0x1F;
        n = 2;
        cMin = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        c = b & 0x0F;
        n = 3;
        cMin = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        c = b & 0x07;
        n = 4;
        cMin = 0x10000;
    } else {
        return 0;
    }
    if (cb < static_cast<std::size_t>(n))
        return 0;
    for (int k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (c < cMin || !IsScalarValue(c))
        return 0;
    return n;
}

// How many bytes at p (of cb, the first starting no valid sequence) form
// one bad piece: the longest start of a sequence that could have been valid,
// or one byte. (One U+FFFD per such piece, as Unicode recommends.)
inline std::size_t BadSequenceLength(const unsigned char* p, std::size_t cb)
{
    const unsigned char b = p[0];
    std::size_t n;
    unsigned char bLow = 0x80, bHigh = 0xBF; // the second byte's range
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        bLow = b == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        bHigh = b == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        bLow = b == 0xF0 ? 0x90 : 0x80;
        bHigh = b == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 1;
    }
    std::size_t k = 1;
    while (k < n && k < cb && p[k] >= bLow && p[k] <= bHigh) {
        ++k;
        bLow = 0x80;
        bHigh = 0xBF;
    }
    return k;
}

// UTF-8 to wide text; each bad piece (above) becomes U+FFFD, and what
// follows it may start a good character.
inline std::wstring WideFromUtf8(std::string_view sv, std::size_t* pcReplaced = nullptr)
{
    std::wstring str;
    str.reserve(sv.size());
    std::size_t cReplaced = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(sv.data());
    const unsigned char* const pEnd = p + sv.size();
    while (p < pEnd) {
        char32_t c = 0;
        const int n = DecodeUtf8(p, static_cast<std::size_t>(pEnd - p), c);
        if (n == 0) {
            AppendWide(str, kcReplacement);
            ++cReplaced;
            p += BadSequenceLength(p, static_cast<std::size_t>(pEnd - p));
        } else {
            AppendWide(str, c);
            p += n;
        }
    }
    if (pcReplaced)
        *pcReplaced = cReplaced;
    return str;
}

} // namespace kvutf
