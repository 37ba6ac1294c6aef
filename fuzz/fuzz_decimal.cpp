// The decimal conversion of the FILE fields against a plain reference in
// 128-bit arithmetic: white space, one sign, digits to the first other
// character, clamped to the signed range of the type.
#include "FuzzCheck.h"
#include "WideInput.h"

#include <Decimal.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// The C locale's white space; the fuzzer never changes the locale.
bool IsSpace(wchar_t wc)
{
    return wc == L' ' || (wc >= L'\t' && wc <= L'\r');
}

__int128 Reference(const std::wstring& strText, __int128 iMin, __int128 iMax)
{
    std::size_t i = 0;
    while (i < strText.size() && IsSpace(strText[i]))
        ++i;
    bool bNegative = false;
    if (i < strText.size() && (strText[i] == L'+' || strText[i] == L'-'))
        bNegative = strText[i++] == L'-';
    // Any magnitude past 2^100 clamps the same as 2^100 does.
    const __int128 iCap = static_cast<__int128>(1) << 100;
    __int128 iValue = 0;
    for (; i < strText.size() && strText[i] >= L'0' && strText[i] <= L'9'; ++i) {
        iValue = iValue * 10 + (strText[i] - L'0');
        if (iValue > iCap)
            iValue = iCap;
    }
    if (bNegative)
        iValue = -iValue;
    return iValue < iMin ? iMin : iValue > iMax ? iMax : iValue;
}

void Report(const std::wstring& strText, long long iGot, long long iWant)
{
    std::fprintf(stderr, "text:");
    for (wchar_t wc : strText)
        std::fprintf(stderr, " %04X", static_cast<unsigned>(wc));
    std::fprintf(stderr, "\ngot %lld, expected %lld\n", iGot, iWant);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    const std::wstring strText = kvfuzz::WideFromBytes(pData, cbData);

    const __int128 iWant64 = Reference(strText, INT64_MIN, INT64_MAX);
    const __int64 iGot64 = korvane::DecimalToInt64(strText.c_str());
    if (iGot64 != iWant64) {
        Report(strText, iGot64, static_cast<long long>(iWant64));
        FUZZ_CHECK(iGot64 == iWant64);
    }

    // The 32-bit fields keep the clamped signed value as its bit pattern.
    const DWORD dwWant =
        static_cast<DWORD>(static_cast<std::int32_t>(Reference(strText, INT32_MIN, INT32_MAX)));
    const DWORD dwGot = korvane::DecimalToDword(strText.c_str());
    if (dwGot != dwWant) {
        Report(strText, dwGot, dwWant);
        FUZZ_CHECK(dwGot == dwWant);
    }
    return 0;
}
