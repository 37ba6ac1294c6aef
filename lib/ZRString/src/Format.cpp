// CZRString::Format: the Windows wide printf conventions, formatted here
// rather than by the C library, whose %s and %c on glibc take narrow text.
//
// What is accepted, after "%":
//   flags     - + space # 0, in any order and number
//   width     digits or *, a negative * meaning "-" with its magnitude
//   precision . followed by digits, * (negative: none) or nothing (0)
//   size      hh h l ll L I I32 I64 w z j t
//   type      d i u o x X c C s S p n % f F e E g G a A
// %s, %ls, %ws take a wide string and %S, %hs a narrow one (each byte one
// character); %c, %lc, %wc a wide character and %C, %hc a narrow one, both
// passed as int. A null string prints "(null)"; a character 0 adds nothing.
// %p prints the pointer's hexadecimal digits in capitals, as many as a
// pointer holds. %n stores nothing: its pointer is read and dropped.
// The 0 flag pads strings and characters with zeros, as Windows does.
//
// Anything else (an unknown type, a size that does not fit the type, a
// format that ends inside a conversion) is copied as written and reads no
// argument beyond a * already read, so a bad format cannot shift the
// arguments of the conversions after it. Padding and zeros from a width or
// precision are capped at kMaxPad characters each: a hostile format cannot
// demand gigabytes.
#include "ZRString.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int kMaxPad = 65536;
constexpr std::size_t kMaxLength = INT_MAX - 1;

enum class Size { None, Char, Short, Long, LongLong, Int32, Int64, SizeT, IntMax, PtrDiff, LongDouble, Wide };

struct Conversion {
    bool bLeft = false;
    bool bPlus = false;
    bool bSpace = false;
    bool bAlt = false;
    bool bZero = false;
    int iWidth = 0;
    int iPrecision = -1; // none
    Size size = Size::None;
};

// The text being formatted; refuses to grow past what a CZRString holds.
class CFormatOutput {
  public:
    explicit CFormatOutput(std::wstring& strOut) : m_strOut(strOut) {}

    void Append(const wchar_t* pszText, std::size_t nCount)
    {
        Check(nCount);
        m_strOut.append(pszText, nCount);
    }
    void Repeat(wchar_t wc, std::size_t nCount)
    {
        Check(nCount);
        m_strOut.append(nCount, wc);
    }
    void Append(wchar_t wc) { Repeat(wc, 1); }

  private:
    void Check(std::size_t nCount) const
    {
        if (nCount > kMaxLength - m_strOut.size()) {
            throw std::bad_alloc();
        }
    }

    std::wstring& m_strOut;
};

int Capped(int iValue)
{
    return iValue < kMaxPad ? iValue : kMaxPad;
}

bool IsDigit(wchar_t wc)
{
    return wc >= L'0' && wc <= L'9';
}

// Digits as an int, stopping at INT_MAX rather than overflowing.
int ParseNumber(const wchar_t*& pszAt)
{
    int iValue = 0;
    for (; IsDigit(*pszAt); ++pszAt) {
        int iDigit = *pszAt - L'0';
        iValue = iValue > (INT_MAX - iDigit) / 10 ? INT_MAX : iValue * 10 + iDigit;
    }
    return iValue;
}

void ParseSize(const wchar_t*& pszAt, Conversion& conv)
{
    switch (*pszAt) {
    case L'h':
        ++pszAt;
        conv.size = Size::Short;
        if (*pszAt == L'h') {
            ++pszAt;
            conv.size = Size::Char;
        }
        break;
    case L'l':
        ++pszAt;
        conv.size = Size::Long;
        if (*pszAt == L'l') {
            ++pszAt;
            conv.size = Size::LongLong;
        }
        break;
    case L'I':
        ++pszAt;
        conv.size = Size::SizeT;
        if (pszAt[0] == L'6' && pszAt[1] == L'4') {
            pszAt += 2;
            conv.size = Size::Int64;
        } else if (pszAt[0] == L'3' && pszAt[1] == L'2') {
            pszAt += 2;
            conv.size = Size::Int32;
        }
        break;
    case L'L':
        ++pszAt;
        conv.size = Size::LongDouble;
        break;
    case L'w':
        ++pszAt;
        conv.size = Size::Wide;
        break;
    case L'z':
        ++pszAt;
        conv.size = Size::SizeT;
        break;
    case L'j':
        ++pszAt;
        conv.size = Size::IntMax;
        break;
    case L't':
        ++pszAt;
        conv.size = Size::PtrDiff;
        break;
    default:
        break;
    }
}

// Everything from the "%" to the type: flags, width, precision, size.
void ParseSpec(const wchar_t*& pszAt, Conversion& conv, va_list* pArgs)
{
    for (;; ++pszAt) {
        if (*pszAt == L'-') {
            conv.bLeft = true;
        } else if (*pszAt == L'+') {
            conv.bPlus = true;
        } else if (*pszAt == L' ') {
            conv.bSpace = true;
        } else if (*pszAt == L'#') {
            conv.bAlt = true;
        } else if (*pszAt == L'0') {
            conv.bZero = true;
        } else {
            break;
        }
    }
    if (*pszAt == L'*') {
        ++pszAt;
        int iWidth = va_arg(*pArgs, int);
        if (iWidth < 0) {
            conv.bLeft = true;
            iWidth = iWidth == INT_MIN ? INT_MAX : -iWidth;
        }
        conv.iWidth = iWidth;
    } else {
        conv.iWidth = ParseNumber(pszAt);
    }
    if (*pszAt == L'.') {
        ++pszAt;
        if (*pszAt == L'*') {
            ++pszAt;
            int iPrecision = va_arg(*pArgs, int);
            conv.iPrecision = iPrecision < 0 ? -1 : iPrecision;
        } else {
            conv.iPrecision = ParseNumber(pszAt);
        }
    }
    ParseSize(pszAt, conv);
}

// The spaces or zeros that widen a field of nBody characters to the width.
std::size_t PadFor(const Conversion& conv, std::size_t nBody)
{
    std::size_t nWidth = static_cast<std::size_t>(Capped(conv.iWidth));
    return nWidth > nBody ? nWidth - nBody : 0;
}

void PutText(CFormatOutput& out, const Conversion& conv, const wchar_t* pszText, std::size_t nCount)
{
    std::size_t nPad = PadFor(conv, nCount);
    if (!conv.bLeft) {
        out.Repeat(conv.bZero ? L'0' : L' ', nPad);
    }
    out.Append(pszText, nCount);
    if (conv.bLeft) {
        out.Repeat(L' ', nPad);
    }
}

// At most iPrecision characters (all when it is none), never reading past
// them: a precision may bound an array that has no terminator.
template <typename Char> std::size_t BoundedLength(const Char* pszText, int iPrecision)
{
    std::size_t nMax = iPrecision < 0 ? SIZE_MAX : static_cast<std::size_t>(iPrecision);
    std::size_t nLength = 0;
    while (nLength < nMax && pszText[nLength] != 0) {
        ++nLength;
    }
    return nLength;
}

void PutWideString(CFormatOutput& out, const Conversion& conv, const wchar_t* pszText)
{
    if (pszText == nullptr) {
        pszText = L"(null)";
    }
    PutText(out, conv, pszText, BoundedLength(pszText, conv.iPrecision));
}

void PutNarrowString(CFormatOutput& out, const Conversion& conv, const char* pszText)
{
    if (pszText == nullptr) {
        pszText = "(null)";
    }
    std::size_t nLength = BoundedLength(pszText, conv.iPrecision);
    std::wstring strWide;
    strWide.reserve(nLength);
    for (std::size_t n = 0; n < nLength; ++n) {
        strWide += static_cast<wchar_t>(static_cast<unsigned char>(pszText[n]));
    }
    PutText(out, conv, strWide.data(), strWide.size());
}

void PutChar(CFormatOutput& out, const Conversion& conv, wchar_t wc)
{
    PutText(out, conv, &wc, wc == L'\0' ? 0 : 1);
}

// One integer: sign or prefix, zeros to the precision, digits, padded to the
// width with spaces, or zeros after the sign when the 0 flag asks for them.
void PutInteger(CFormatOutput& out, const Conversion& conv, std::uint64_t uMagnitude, bool bNegative,
                unsigned uBase, bool bUpper)
{
    const wchar_t* pszDigitSet = bUpper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    wchar_t szDigits[64];
    std::size_t nDigits = 0;
    for (std::uint64_t u = uMagnitude; u != 0; u /= uBase) {
        szDigits[sizeof(szDigits) / sizeof(szDigits[0]) - 1 - nDigits++] = pszDigitSet[u % uBase];
    }
    if (uMagnitude == 0 && conv.iPrecision != 0) {
        szDigits[sizeof(szDigits) / sizeof(szDigits[0]) - 1 - nDigits++] = L'0';
    }
    const wchar_t* pszDigits = szDigits + sizeof(szDigits) / sizeof(szDigits[0]) - nDigits;

    wchar_t szPrefix[2];
    std::size_t nPrefix = 0;
    if (bNegative) {
        szPrefix[nPrefix++] = L'-';
    } else if (conv.bPlus) {
        szPrefix[nPrefix++] = L'+';
    } else if (conv.bSpace) {
        szPrefix[nPrefix++] = L' ';
    }
    if (conv.bAlt && uBase == 16 && uMagnitude != 0) {
        szPrefix[nPrefix++] = L'0';
        szPrefix[nPrefix++] = bUpper ? L'X' : L'x';
    }

    std::size_t nPrecision = conv.iPrecision < 0 ? 0 : static_cast<std::size_t>(Capped(conv.iPrecision));
    std::size_t nZeros = nPrecision > nDigits ? nPrecision - nDigits : 0;
    if (conv.bAlt && uBase == 8 && nZeros == 0 && (nDigits == 0 || pszDigits[0] != L'0')) {
        nZeros = 1; // octal's "#": the first digit is a 0
    }
    std::size_t nPad = PadFor(conv, nPrefix + nZeros + nDigits);
    bool bZeroPad = conv.bZero && !conv.bLeft && conv.iPrecision < 0;
    if (!conv.bLeft && !bZeroPad) {
        out.Repeat(L' ', nPad);
    }
    out.Append(szPrefix, nPrefix);
    if (bZeroPad) {
        out.Repeat(L'0', nPad);
    }
    out.Repeat(L'0', nZeros);
    out.Append(pszDigits, nDigits);
    if (conv.bLeft) {
        out.Repeat(L' ', nPad);
    }
}

// The signed argument of the size given; false when the size does not fit.
bool ReadSigned(const Conversion& conv, va_list* pArgs, std::int64_t& iValue)
{
    switch (conv.size) {
    case Size::None:
        iValue = va_arg(*pArgs, int);
        return true;
    case Size::Char:
        iValue = static_cast<signed char>(va_arg(*pArgs, int));
        return true;
    case Size::Short:
        iValue = static_cast<short>(va_arg(*pArgs, int));
        return true;
    case Size::Long:
        iValue = va_arg(*pArgs, long);
        return true;
    case Size::LongLong:
        iValue = va_arg(*pArgs, long long);
        return true;
    case Size::Int32:
        iValue = va_arg(*pArgs, std::int32_t);
        return true;
    case Size::Int64:
        iValue = va_arg(*pArgs, std::int64_t);
        return true;
    case Size::SizeT: // Windows' %Id is the signed pointer-sized integer
    case Size::PtrDiff:
        iValue = static_cast<std::int64_t>(va_arg(*pArgs, std::ptrdiff_t));
        return true;
    case Size::IntMax:
        iValue = static_cast<std::int64_t>(va_arg(*pArgs, std::intmax_t));
        return true;
    default:
        return false;
    }
}

bool ReadUnsigned(const Conversion& conv, va_list* pArgs, std::uint64_t& uValue)
{
    switch (conv.size) {
    case Size::None:
        uValue = va_arg(*pArgs, unsigned int);
        return true;
    case Size::Char:
        uValue = static_cast<unsigned char>(va_arg(*pArgs, unsigned int));
        return true;
    case Size::Short:
        uValue = static_cast<unsigned short>(va_arg(*pArgs, unsigned int));
        return true;
    case Size::Long:
        uValue = va_arg(*pArgs, unsigned long);
        return true;
    case Size::LongLong:
        uValue = va_arg(*pArgs, unsigned long long);
        return true;
    case Size::Int32:
        uValue = va_arg(*pArgs, std::uint32_t);
        return true;
    case Size::Int64:
        uValue = va_arg(*pArgs, std::uint64_t);
        return true;
    case Size::SizeT:
        uValue = va_arg(*pArgs, std::size_t);
        return true;
    case Size::PtrDiff:
        uValue = static_cast<std::uint64_t>(va_arg(*pArgs, std::ptrdiff_t));
        return true;
    case Size::IntMax:
        uValue = static_cast<std::uint64_t>(va_arg(*pArgs, std::uintmax_t));
        return true;
    default:
        return false;
    }
}

// Floating point goes through the C library's narrow snprintf with a conv
// rebuilt here from the parsed pieces, so only known flags reach it.
bool PutFloat(CFormatOutput& out, const Conversion& conv, wchar_t wcType, va_list* pArgs)
{
    if (conv.size != Size::None && conv.size != Size::Long && conv.size != Size::LongDouble) {
        return false;
    }
    std::string strSpec = "%";
    if (conv.bLeft)
        strSpec += '-';
    if (conv.bPlus)
        strSpec += '+';
    if (conv.bSpace)
        strSpec += ' ';
    if (conv.bAlt)
        strSpec += '#';
    if (conv.bZero)
        strSpec += '0';
    strSpec += "*.*";
    if (conv.size == Size::LongDouble) {
        strSpec += 'L';
    }
    strSpec += static_cast<char>(wcType);

    int iWidth = Capped(conv.iWidth);
    int iPrecision = conv.iPrecision < 0 ? -1 : Capped(conv.iPrecision);
    std::vector<char> text;
    int iLength;
    if (conv.size == Size::LongDouble) {
        long double ldValue = va_arg(*pArgs, long double);
        iLength = std::snprintf(nullptr, 0, strSpec.c_str(), iWidth, iPrecision, ldValue);
        if (iLength < 0) {
            return true;
        }
        text.resize(static_cast<std::size_t>(iLength) + 1);
        std::snprintf(text.data(), text.size(), strSpec.c_str(), iWidth, iPrecision, ldValue);
    } else {
        double dValue = va_arg(*pArgs, double);
        iLength = std::snprintf(nullptr, 0, strSpec.c_str(), iWidth, iPrecision, dValue);
        if (iLength < 0) {
            return true;
        }
        text.resize(static_cast<std::size_t>(iLength) + 1);
        std::snprintf(text.data(), text.size(), strSpec.c_str(), iWidth, iPrecision, dValue);
    }
    for (int i = 0; i < iLength; ++i) {
        out.Append(static_cast<wchar_t>(static_cast<unsigned char>(text[static_cast<std::size_t>(i)])));
    }
    return true;
}

// One conversion; false when it is not one that is known, and then no
// argument has been read for it.
bool Convert(CFormatOutput& out, const Conversion& conv, wchar_t wcType, va_list* pArgs)
{
    switch (wcType) {
    case L'd':
    case L'i': {
        std::int64_t iValue = 0;
        if (!ReadSigned(conv, pArgs, iValue)) {
            return false;
        }
        bool bNegative = iValue < 0;
        // Negated as unsigned, so that INT64_MIN has a magnitude too.
        std::uint64_t uMagnitude =
            bNegative ? 0 - static_cast<std::uint64_t>(iValue) : static_cast<std::uint64_t>(iValue);
        PutInteger(out, conv, uMagnitude, bNegative, 10, false);
        return true;
    }
    case L'u':
    case L'o':
    case L'x':
    case L'X': {
        std::uint64_t uValue = 0;
        if (!ReadUnsigned(conv, pArgs, uValue)) {
            return false;
        }
        Conversion specUnsigned = conv;
        specUnsigned.bPlus = false; // a sign belongs to signed conversions only
        specUnsigned.bSpace = false;
        unsigned uBase = wcType == L'u' ? 10 : wcType == L'o' ? 8 : 16;
        PutInteger(out, specUnsigned, uValue, false, uBase, wcType == L'X');
        return true;
    }
    case L'c':
    case L'C': {
        bool bWide =
            conv.size == Size::Long || conv.size == Size::Wide || (conv.size == Size::None && wcType == L'c');
        bool bNarrow = conv.size == Size::Short || (conv.size == Size::None && wcType == L'C');
        if (!bWide && !bNarrow) {
            return false;
        }
        int iValue = va_arg(*pArgs, int); // both travel as int
        PutChar(out, conv,
                bWide ? static_cast<wchar_t>(iValue)
                      : static_cast<wchar_t>(static_cast<unsigned char>(iValue)));
        return true;
    }
    case L's':
    case L'S': {
        bool bWide =
            conv.size == Size::Long || conv.size == Size::Wide || (conv.size == Size::None && wcType == L's');
        bool bNarrow = conv.size == Size::Short || (conv.size == Size::None && wcType == L'S');
        if (bWide) {
            PutWideString(out, conv, va_arg(*pArgs, const wchar_t*));
        } else if (bNarrow) {
            PutNarrowString(out, conv, va_arg(*pArgs, const char*));
        }
        return bWide || bNarrow;
    }
    case L'p': {
        if (conv.size != Size::None) {
            return false;
        }
        Conversion specPointer = conv;
        specPointer.bPlus = specPointer.bSpace = specPointer.bAlt = false;
        specPointer.iPrecision = static_cast<int>(2 * sizeof(void*));
        std::uintptr_t uPointer = reinterpret_cast<std::uintptr_t>(va_arg(*pArgs, void*));
        PutInteger(out, specPointer, static_cast<std::uint64_t>(uPointer), false, 16, true);
        return true;
    }
    case L'n':
        static_cast<void>(va_arg(*pArgs, void*));
        return true;
    case L'%':
        out.Append(L'%');
        return true;
    case L'f':
    case L'F':
    case L'e':
    case L'E':
    case L'g':
    case L'G':
    case L'a':
    case L'A':
        return PutFloat(out, conv, wcType, pArgs);
    default:
        return false;
    }
}

void FormatTo(std::wstring& strOut, const wchar_t* pszFormat, va_list* pArgs)
{
    CFormatOutput out(strOut);
    const wchar_t* pszAt = pszFormat;
    while (*pszAt != L'\0') {
        if (*pszAt != L'%') {
            const wchar_t* pszRun = pszAt;
            while (*pszAt != L'\0' && *pszAt != L'%') {
                ++pszAt;
            }
            out.Append(pszRun, static_cast<std::size_t>(pszAt - pszRun));
            continue;
        }
        const wchar_t* pszConversion = pszAt++;
        Conversion conv;
        ParseSpec(pszAt, conv, pArgs);
        wchar_t wcType = *pszAt;
        if (wcType == L'\0') { // the format ends inside the conversion
            out.Append(pszConversion, static_cast<std::size_t>(pszAt - pszConversion));
            break;
        }
        ++pszAt;
        if (!Convert(out, conv, wcType, pArgs)) {
            out.Append(pszConversion, static_cast<std::size_t>(pszAt - pszConversion));
        }
    }
}

} // namespace

void CZRString::Format(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    try {
        FormatV(pszFormat, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

// Formatted apart and assigned at the end: an argument may be this very
// string's text (s.Format(L"%s!", (const wchar_t*)s)).
void CZRString::FormatV(const wchar_t* pszFormat, va_list args)
{
    std::wstring strOut;
    if (pszFormat != nullptr) {
        va_list argsOwn;
        va_copy(argsOwn, args);
        try {
            FormatTo(strOut, pszFormat, &argsOwn);
        } catch (...) {
            va_end(argsOwn);
            throw;
        }
        va_end(argsOwn);
    }
    Assign(strOut.c_str(), static_cast<int>(strOut.size()));
}
