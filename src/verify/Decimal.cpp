#include "Decimal.h"

#include <cstdint>
#include <limits>

namespace korvane {
namespace {

// The same white space on every platform and in every locale.
bool IsSpace(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

std::int64_t ParseClamped(const wchar_t* pszText, std::int64_t iMin, std::int64_t iMax)
{
    if (!pszText)
        return 0;
    const wchar_t* p = pszText;
    while (IsSpace(*p))
        ++p;
    bool bNegative = false;
    if (*p == L'+' || *p == L'-') {
        bNegative = (*p == L'-');
        ++p;
    }
    // Accumulate the magnitude, saturating one past the limit so any longer
    // run of digits still clamps.
    const std::uint64_t uLimit =
        bNegative ? static_cast<std::uint64_t>(-(iMin + 1)) + 1 : static_cast<std::uint64_t>(iMax);
    std::uint64_t uValue = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        const unsigned uDigit = static_cast<unsigned>(*p - L'0');
        if (uValue > (uLimit - uDigit) / 10) {
            uValue = uLimit;
            while (p[1] >= L'0' && p[1] <= L'9')
                ++p;
        } else {
            uValue = uValue * 10 + uDigit;
        }
    }
    if (!bNegative)
        return static_cast<std::int64_t>(uValue);
    return uValue == uLimit ? iMin : -static_cast<std::int64_t>(uValue);
}

} // namespace

__int64 DecimalToInt64(const wchar_t* pszText)
{
    return ParseClamped(pszText, std::numeric_limits<std::int64_t>::min(),
                        std::numeric_limits<std::int64_t>::max());
}

DWORD DecimalToDword(const wchar_t* pszText)
{
    const std::int64_t iValue = ParseClamped(pszText, std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max());
    return static_cast<DWORD>(static_cast<std::int32_t>(iValue));
}

} // namespace korvane
