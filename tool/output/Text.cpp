#include "output/Text.h"

#include <climits>

namespace kvtool {

namespace {

const char32_t kcReplacement = 0xFFFD;

void AppendUtf8(std::string& strOut, char32_t c)
{
    if (c < 0x80) {
        strOut += static_cast<char>(c);
    } else if (c < 0x800) {
        strOut += static_cast<char>(0xC0 | (c >> 6));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        strOut += static_cast<char>(0xE0 | (c >> 12));
        strOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        strOut += static_cast<char>(0xF0 | (c >> 18));
        strOut += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        strOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendWide(std::wstring& strOut, char32_t c)
{
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
        c -= 0x10000;
        strOut += static_cast<wchar_t>(0xD800 + (c >> 10));
        strOut += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
        strOut += static_cast<wchar_t>(c);
    }
}

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c < 0xE000; }

} // namespace

std::string Utf8FromWide(const std::wstring& strText)
{
    std::string strOut;
    strOut.reserve(strText.size());
    for (size_t i = 0; i < strText.size(); ++i) {
        char32_t c = static_cast<char32_t>(strText[i]);
        if (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < strText.size()) {
                char32_t cLow = static_cast<char32_t>(strText[i + 1]) & 0xFFFF;
                if (cLow >= 0xDC00 && cLow < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (cLow - 0xDC00);
                    ++i;
                }
            }
        }
        if (c > 0x10FFFF || IsSurrogate(c))
            c = kcReplacement;
        AppendUtf8(strOut, c);
    }
    return strOut;
}

std::wstring WideFromUtf8(const std::string& strText)
{
    std::wstring strOut;
    strOut.reserve(strText.size());
    size_t i = 0;
    while (i < strText.size()) {
        unsigned char b = static_cast<unsigned char>(strText[i]);
        int iCount;
        char32_t c;
        char32_t cMin;
        if (b < 0x80) { c = b; iCount = 0; cMin = 0; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; iCount = 1; cMin = 0x80; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; iCount = 2; cMin = 0x800; }
        else if ((b & 0xF8) == 0xF0) { c = b & 0x07; iCount = 3; cMin = 0x10000; }
        else { AppendWide(strOut, kcReplacement); ++i; continue; }
        size_t j = i + 1;
        bool bGood = true;
        for (int k = 0; k < iCount; ++k, ++j) {
            if (j >= strText.size() || (static_cast<unsigned char>(strText[j]) & 0xC0) != 0x80) {
                bGood = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(strText[j]) & 0x3F);
        }
        // Overlong forms and encoded surrogates are as malformed as a cut sequence.
        if (!bGood || c < cMin || c > 0x10FFFF || IsSurrogate(c)) {
            AppendWide(strOut, kcReplacement);
            // A cut sequence gives up its lead byte only: what follows may
            // start a good character.
            i = bGood ? j : i + 1;
            continue;
        }
        AppendWide(strOut, c);
        i = j;
    }
    return strOut;
}

std::filesystem::path NativePath(const std::wstring& strPath)
{
#if defined(_WIN32)
    return std::filesystem::path(strPath);
#else
    return std::filesystem::u8path(Utf8FromWide(strPath));
#endif
}

std::wstring WideFromNative(const std::filesystem::path& path)
{
#if defined(_WIN32)
    return path.wstring();
#else
    return WideFromUtf8(path.string());
#endif
}

bool ParseInt(const std::wstring& strText, int& iValue)
{
    size_t i = 0;
    bool bNegative = false;
    if (i < strText.size() && (strText[i] == L'+' || strText[i] == L'-')) {
        bNegative = strText[i] == L'-';
        ++i;
    }
    if (i == strText.size())
        return false;
    long long llValue = 0;
    for (; i < strText.size(); ++i) {
        if (strText[i] < L'0' || strText[i] > L'9')
            return false;
        llValue = llValue * 10 + (strText[i] - L'0');
        if (llValue > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (bNegative)
        llValue = -llValue;
    if (llValue > INT_MAX || llValue < INT_MIN)
        return false;
    iValue = static_cast<int>(llValue);
    return true;
}

} // namespace kvtool
