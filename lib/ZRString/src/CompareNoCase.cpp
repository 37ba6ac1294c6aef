// Comparison of CZRString ignoring case.
//
// The C library's towlower follows the process locale, and in the "C" locale
// most libraries lower ASCII only. The alphabets a path or a trace is likely
// to hold (Latin-1, Latin Extended-A, Greek, Cyrillic) are folded here the
// same way in every locale; towlower covers the rest as the locale allows.
#include "ZRString.h"

#include <cstdint>
#include <cwctype>

namespace {

std::uint32_t Fold(wchar_t wc)
{
    std::uint32_t u = static_cast<std::uint32_t>(wc);
    if (u < 0x80) {
        return (u >= 'A' && u <= 'Z') ? u + 0x20 : u;
    }
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7) { // Latin-1, but not the multiplication sign
        return u + 0x20;
    }
    if (u < 0x100) {
        return u;
    }
    if (u < 0x180) { // Latin Extended-A: upper and lower case side by side
        if (u == 0x178) {
            return 0xFF;
        }
        bool bEvenUpper = (u <= 0x12F) || (u >= 0x132 && u <= 0x137) || (u >= 0x14A && u <= 0x177);
        bool bOddUpper = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
        if ((bEvenUpper && u % 2 == 0) || (bOddUpper && u % 2 == 1)) {
            return u + 1;
        }
        return u;
    }
    if (u >= 0x391 && u <= 0x3AB && u != 0x3A2) { // Greek capitals
        return u + 0x20;
    }
    if (u >= 0x410 && u <= 0x42F) { // Cyrillic capitals
        return u + 0x20;
    }
    if (u >= 0x400 && u <= 0x40F) { // Cyrillic capitals with marks
        return u + 0x50;
    }
    return static_cast<std::uint32_t>(std::towlower(static_cast<std::wint_t>(wc)));
}

} // namespace

// A null text compares as an empty one.
int CZRString::CompareNoCase(const wchar_t* pszText) const
{
    const wchar_t* pszThis = m_pszData;
    if (pszText == nullptr) {
        pszText = L"";
    }
    for (;; ++pszThis, ++pszText) {
        std::uint32_t uThis = Fold(*pszThis);
        std::uint32_t uOther = Fold(*pszText);
        if (uThis != uOther) {
            return uThis < uOther ? -1 : 1;
        }
        if (uThis == 0) {
            return 0;
        }
    }
}
