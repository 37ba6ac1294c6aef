// Name matching for folder searches, as Windows does it: case-insensitive,
// with the MS-DOS rules for "*", "?" and ".".
#include "Internal.h"
#include "NameLookup.h"

namespace kvwin32 {
namespace detail {

namespace {

// Names compare by their simple case folding, as when a path is looked up.
wchar_t FoldCase(wchar_t c)
{
    return static_cast<wchar_t>(FoldChar(static_cast<char32_t>(c)));
}

// Pattern tokens: a character, or one of the MS-DOS wildcards that Windows
// turns the pattern into (above the Unicode range so they cannot clash).
enum : std::uint32_t {
    kStar = 0x80000001,    // "*": any run of characters
    kDosStar = 0x80000002, // "*" before ".": any run that leaves the name's last dot
    kDosQm = 0x80000003,   // "?": one character; nothing at a dot or the end
    kDosDot = 0x80000004,  // "." before a wildcard or at the end: a dot, or the end
};

std::vector<std::uint32_t> Tokens(const std::wstring& strPattern)
{
    std::vector<std::uint32_t> vec;
    for (std::size_t i = 0; i < strPattern.size(); ++i) {
        const wchar_t c = strPattern[i];
        const wchar_t cNext = i + 1 < strPattern.size() ? strPattern[i + 1] : L'\0';
        if (c == L'?')
            vec.push_back(kDosQm);
        else if (c == L'*')
            vec.push_back(cNext == L'.' ? kDosStar : kStar);
        else if (c == L'.' && (cNext == L'?' || cNext == L'*' || cNext == L'\0'))
            vec.push_back(kDosDot);
        else
            vec.push_back(static_cast<std::uint32_t>(FoldCase(c)));
    }
    return vec;
}

} // namespace

bool HasWildcard(std::wstring_view svPattern)
{
    return svPattern.find_first_of(L"*?") != std::wstring_view::npos;
}

bool MatchesPattern(const std::wstring& strName, const std::wstring& strPattern)
{
    if (strPattern == L"*" || strPattern == L"*.*")
        return true;

    const std::vector<std::uint32_t> vecPat = Tokens(strPattern);
    std::vector<std::uint32_t> vecName;
    vecName.reserve(strName.size());
    for (wchar_t c : strName)
        vecName.push_back(static_cast<std::uint32_t>(FoldCase(c)));
    const std::size_t cPat = vecPat.size();
    const std::size_t cName = vecName.size();
    const std::size_t iLastDot = strName.rfind(L'.');
    const std::uint32_t uDot = static_cast<std::uint32_t>(L'.');

    // m[i][j]: the tokens from i on match the name from j on. Filled from the
    // end, which keeps patterns with many stars linear per cell.
    std::vector<std::vector<char>> m(cPat + 1, std::vector<char>(cName + 1, 0));
    m[cPat][cName] = 1;
    for (std::size_t i = cPat; i-- > 0;) {
        std::size_t iAfterQms = i;
        while (iAfterQms < cPat && vecPat[iAfterQms] == kDosQm)
            ++iAfterQms;
        for (std::size_t j = cName + 1; j-- > 0;) {
            const bool bAtEnd = j == cName;
            const std::uint32_t c = bAtEnd ? 0 : vecName[j];
            bool b = false;
            switch (vecPat[i]) {
            case kStar:
                b = m[i + 1][j] || (!bAtEnd && m[i][j + 1]);
                break;
            case kDosStar:
                b = m[i + 1][j] || (!bAtEnd && j != iLastDot && m[i][j + 1]);
                break;
            case kDosQm:
                b = (!bAtEnd && c != uDot && m[i + 1][j + 1]) || ((bAtEnd || c == uDot) && m[iAfterQms][j]);
                break;
            case kDosDot:
                b = (!bAtEnd && c == uDot && m[i + 1][j + 1]) || (bAtEnd && m[i + 1][j]);
                break;
            default:
                b = !bAtEnd && c == vecPat[i] && m[i + 1][j + 1];
                break;
            }
            m[i][j] = b ? 1 : 0;
        }
    }
    return m[0][0] != 0;
}

} // namespace detail
} // namespace kvwin32
