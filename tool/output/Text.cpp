#include "output/Text.h"

#include <kvutf/Utf.h>
#if !defined(_WIN32)
#include <kvwin32.h>
#endif

#include <algorithm>
#include <climits>

namespace kvtool {

std::string Utf8FromWide(const std::wstring& strText)
{
    return kvutf::Utf8FromWide(strText);
}

std::wstring WideFromUtf8(const std::string& strText)
{
    return kvutf::WideFromUtf8(strText);
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

#if !defined(_WIN32)
namespace {

// The layer's own for a byte that is not UTF-8: U+DC00 and the byte.
constexpr wchar_t kwcFirstByteNotUtf8 = 0xDC80;
constexpr wchar_t kwcLastByteNotUtf8 = 0xDCFF;

} // namespace
#endif

std::wstring LibraryTextFromUtf8(const std::string& strNative)
{
    std::wstring str = WideFromUtf8(strNative);
#if !defined(_WIN32)
    std::transform(str.begin(), str.end(), str.begin(), kvwin32::NameStandIn);
#endif
    return str;
}

std::wstring LibraryTextOf(const std::filesystem::path& path)
{
#if defined(_WIN32)
    return path.wstring();
#else
    return LibraryTextFromUtf8(path.string());
#endif
}

std::string Utf8FromLibraryText(const std::wstring& strText)
{
#if defined(_WIN32)
    return Utf8FromWide(strText);
#else
    std::wstring str = strText;
    std::transform(str.begin(), str.end(), str.begin(), kvwin32::NameCharacter);
    return Utf8FromWide(str);
#endif
}

std::wstring LibraryRelPath(const std::string& strRel)
{
    std::wstring str = LibraryTextFromUtf8(strRel);
    std::replace(str.begin(), str.end(), L'/', L'\\');
    return str;
}

std::filesystem::path NativeFromLibraryText(const std::wstring& strText)
{
#if defined(_WIN32)
    return NativePath(strText);
#else
    std::string strHost;
    for (wchar_t c : strText) {
        if (IsByteNotUtf8(c))
            strHost += static_cast<char>(c - 0xDC00);
        else
            kvutf::AppendUtf8(strHost, static_cast<char32_t>(kvwin32::NameCharacter(c)));
    }
    return std::filesystem::path(strHost);
#endif
}

bool IsByteNotUtf8(wchar_t c)
{
#if defined(_WIN32)
    (void)c;
    return false;
#else
    return c >= kwcFirstByteNotUtf8 && c <= kwcLastByteNotUtf8;
#endif
}

bool HoldsBytesNotUtf8(const std::wstring& strText)
{
    return std::any_of(strText.begin(), strText.end(), IsByteNotUtf8);
}

bool IsUtf8(const std::string& strBytes)
{
    std::size_t cReplaced = 0;
    kvutf::WideFromUtf8(strBytes, &cReplaced);
    return cReplaced == 0;
}

std::filesystem::path NativeFromUtf8(const std::string& strUtf8)
{
#if defined(_WIN32)
    return NativePath(WideFromUtf8(strUtf8));
#else
    return std::filesystem::path(strUtf8);
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
