// CZRString::Format with a format from the input and arguments that match
// its conversions: the target parses the format as the formatter documents
// it (Windows conventions: %s wide, %S narrow, %I64d, ...) and passes
// arguments of the right type, drawn from the input. Under ASan/UBSan any
// read or write out of bounds is a finding; strings bounded by a precision
// come without a terminator, so reading past the precision is one too.
// Where every conversion is one the C library formats the same way, the
// output is compared with glibc's swprintf as well.
#include "FuzzCheck.h"
#include "WideInput.h"

#include <ZRString.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxSlots = 4;
constexpr int kMaxCompared = 4096; // widths and precisions compared with glibc

enum class Kind { Int, Int64, WideText, NarrowText, Pointer, Double, LongDouble };

struct Arg {
    Kind kind;
    int iValue = 0;
    long long llValue = 0;
    const wchar_t* pszWide = nullptr;
    const char* pszNarrow = nullptr;
    void* pPointer = nullptr;
    double dValue = 0;
    long double ldValue = 0;
};

// One conversion as the formatter reads it.
struct Conversion {
    std::size_t nStart = 0; // index of the "%"
    std::size_t nEnd = 0;   // one past the type
    std::wstring strFlags;
    bool bStarWidth = false;
    bool bStarPrecision = false;
    int iWidth = 0;
    bool bPrecision = false;
    int iPrecision = 0;
    std::wstring strSize;
    wchar_t wcType = 0;
    bool bKnown = false;
    Kind kind = Kind::Int;
    bool bTakesValue = false;
};

bool IsDigit(wchar_t wc)
{
    return wc >= L'0' && wc <= L'9';
}

int ParseNumber(const std::wstring& str, std::size_t& i)
{
    long long llValue = 0;
    for (; i < str.size() && IsDigit(str[i]); ++i)
        llValue = llValue > INT_MAX ? llValue : llValue * 10 + (str[i] - L'0');
    return llValue > INT_MAX ? INT_MAX : static_cast<int>(llValue);
}

// The size letters the formatter knows, longest first.
std::wstring ParseSize(const std::wstring& str, std::size_t& i)
{
    static const wchar_t* const kSizes[] = {L"hh", L"ll", L"I64", L"I32", L"h", L"l",
                                            L"I",  L"L",  L"w",   L"z",   L"j", L"t"};
    for (const wchar_t* pszSize : kSizes) {
        const std::size_t n = std::wcslen(pszSize);
        if (str.compare(i, n, pszSize) == 0) {
            i += n;
            return pszSize;
        }
    }
    return L"";
}

// What the type and size take; false for a combination the formatter
// copies as text.
bool Classify(Conversion& c)
{
    const std::wstring& s = c.strSize;
    const bool bNone = s.empty();
    const bool b32 = bNone || s == L"hh" || s == L"h" || s == L"I32";
    const bool b64 =
        s == L"l" || s == L"ll" || s == L"I64" || s == L"I" || s == L"z" || s == L"j" || s == L"t";
    switch (c.wcType) {
    case L'd':
    case L'i':
    case L'u':
    case L'o':
    case L'x':
    case L'X':
        c.kind = b32 ? Kind::Int : Kind::Int64; // long is 64-bit here
        c.bTakesValue = true;
        return b32 || b64;
    case L'c':
    case L'C':
    case L's':
    case L'S': {
        const bool bLower = c.wcType == L'c' || c.wcType == L's';
        const bool bWide = s == L"l" || s == L"w" || (bNone && bLower);
        const bool bNarrow = s == L"h" || (bNone && !bLower);
        if (c.wcType == L'c' || c.wcType == L'C')
            c.kind = Kind::Int;
        else
            c.kind = bWide ? Kind::WideText : Kind::NarrowText;
        c.bTakesValue = true;
        return bWide || bNarrow;
    }
    case L'p':
        c.kind = Kind::Pointer;
        c.bTakesValue = true;
        return bNone;
    case L'n':
        c.kind = Kind::Pointer;
        c.bTakesValue = true;
        return true;
    case L'%':
        return true;
    case L'f':
    case L'F':
    case L'e':
    case L'E':
    case L'g':
    case L'G':
    case L'a':
    case L'A':
        c.kind = s == L"L" ? Kind::LongDouble : Kind::Double;
        c.bTakesValue = true;
        return bNone || s == L"l" || s == L"L";
    default:
        return false;
    }
}

std::size_t SlotsOf(const Conversion& c)
{
    return (c.bStarWidth ? 1 : 0) + (c.bStarPrecision ? 1 : 0) + (c.bKnown && c.bTakesValue ? 1 : 0);
}

// The conversions of the format, which is cut before the first one that
// would need more than kMaxSlots arguments in all, or where it ends inside
// one after a "*" (the formatter stops there).
std::vector<Conversion> Parse(std::wstring& strFormat)
{
    std::vector<Conversion> vec;
    std::size_t nSlots = 0;
    for (std::size_t i = 0; i < strFormat.size();) {
        if (strFormat[i] != L'%') {
            ++i;
            continue;
        }
        Conversion c;
        c.nStart = i++;
        while (i < strFormat.size() && std::wcschr(L"-+ #0", strFormat[i]) && strFormat[i] != 0)
            c.strFlags += strFormat[i++];
        if (i < strFormat.size() && strFormat[i] == L'*') {
            c.bStarWidth = true;
            ++i;
        } else {
            c.iWidth = ParseNumber(strFormat, i);
        }
        if (i < strFormat.size() && strFormat[i] == L'.') {
            ++i;
            c.bPrecision = true;
            if (i < strFormat.size() && strFormat[i] == L'*') {
                c.bStarPrecision = true;
                ++i;
            } else {
                c.iPrecision = ParseNumber(strFormat, i);
            }
        }
        c.strSize = ParseSize(strFormat, i);
        if (i == strFormat.size()) {
            // Ends inside: the formatter reads the "*" arguments, then stops.
            if (nSlots + SlotsOf(c) > kMaxSlots) {
                strFormat.resize(c.nStart);
                break;
            }
            c.nEnd = i;
            c.wcType = 0;
            vec.push_back(c);
            break;
        }
        c.wcType = strFormat[i++];
        c.nEnd = i;
        c.bKnown = Classify(c);
        if (nSlots + SlotsOf(c) > kMaxSlots) {
            strFormat.resize(c.nStart);
            break;
        }
        nSlots += SlotsOf(c);
        vec.push_back(c);
    }
    return vec;
}

// The arguments, and the storage they point into.
class CArguments {
  public:
    explicit CArguments(FuzzedDataProvider& input) : m_input(input) {}

    void Build(std::vector<Conversion>& vecConversions)
    {
        for (Conversion& c : vecConversions) {
            if (c.bStarWidth) {
                c.iWidth = Star();
                m_vecArgs.push_back(IntArg(c.iWidth));
            }
            if (c.bStarPrecision) {
                const int iPrecision = Star();
                c.iPrecision = iPrecision;
                c.bPrecision = iPrecision >= 0;
                m_vecArgs.push_back(IntArg(iPrecision));
            }
            if (c.bKnown && c.bTakesValue)
                m_vecArgs.push_back(Value(c));
        }
    }
    const std::vector<Arg>& Args() const { return m_vecArgs; }

  private:
    static Arg IntArg(int iValue)
    {
        Arg arg{Kind::Int};
        arg.iValue = iValue;
        return arg;
    }

    // Widths and precisions: mostly small, sometimes extreme.
    int Star()
    {
        switch (m_input.ConsumeIntegralInRange(0, 7)) {
        case 0:
            return INT_MIN;
        case 1:
            return INT_MAX;
        case 2:
            return m_input.ConsumeIntegral<int>();
        case 3:
            return -m_input.ConsumeIntegralInRange(0, 40);
        default:
            return m_input.ConsumeIntegralInRange(0, 40);
        }
    }

    Arg Value(const Conversion& c)
    {
        Arg arg{c.kind};
        const std::size_t nBound =
            c.bPrecision && c.iPrecision >= 0 ? static_cast<std::size_t>(c.iPrecision) : SIZE_MAX;
        switch (c.kind) {
        case Kind::Int:
            arg.iValue = m_input.ConsumeIntegral<int>();
            break;
        case Kind::Int64:
            arg.llValue = m_input.ConsumeIntegral<long long>();
            break;
        case Kind::WideText:
            arg.pszWide = WideText(nBound);
            break;
        case Kind::NarrowText:
            arg.pszNarrow = NarrowText(nBound);
            break;
        case Kind::Pointer:
            arg.pPointer = c.wcType == L'n'
                               ? static_cast<void*>(&m_iCount)
                               : reinterpret_cast<void*>(m_input.ConsumeIntegral<std::uintptr_t>());
            break;
        case Kind::Double:
            arg.dValue = m_input.ConsumeFloatingPoint<double>();
            break;
        case Kind::LongDouble:
            arg.ldValue = m_input.ConsumeFloatingPoint<long double>();
            break;
        }
        return arg;
    }

    // A text of the input; with a precision of n that is at most 64, exactly
    // n characters in a block of their own without a terminator.
    const wchar_t* WideText(std::size_t nBound)
    {
        if (m_input.ConsumeIntegralInRange(0, 15) == 0)
            return nullptr;
        const std::string strBytes = m_input.ConsumeRandomLengthString(64);
        std::wstring strText =
            kvfuzz::WideFromBytes(reinterpret_cast<const std::uint8_t*>(strBytes.data()), strBytes.size());
        if (nBound <= 64) {
            strText.resize(nBound, L'w');
            for (wchar_t& wc : strText)
                if (wc == 0)
                    wc = L'w';
            m_vecWide.emplace_back(new wchar_t[nBound]);
            std::wmemcpy(m_vecWide.back().get(), strText.data(), nBound);
            return m_vecWide.back().get();
        }
        m_vecWide.emplace_back(new wchar_t[strText.size() + 1]);
        std::wmemcpy(m_vecWide.back().get(), strText.c_str(), strText.size() + 1);
        return m_vecWide.back().get();
    }

    const char* NarrowText(std::size_t nBound)
    {
        if (m_input.ConsumeIntegralInRange(0, 15) == 0)
            return nullptr;
        std::string strText = m_input.ConsumeRandomLengthString(64);
        if (nBound <= 64) {
            strText.resize(nBound, 'n');
            for (char& ch : strText)
                if (ch == 0)
                    ch = 'n';
            m_vecNarrow.emplace_back(new char[nBound]);
            std::memcpy(m_vecNarrow.back().get(), strText.data(), nBound);
            return m_vecNarrow.back().get();
        }
        m_vecNarrow.emplace_back(new char[strText.size() + 1]);
        std::memcpy(m_vecNarrow.back().get(), strText.c_str(), strText.size() + 1);
        return m_vecNarrow.back().get();
    }

    FuzzedDataProvider& m_input;
    std::vector<Arg> m_vecArgs;
    std::vector<std::unique_ptr<wchar_t[]>> m_vecWide;
    std::vector<std::unique_ptr<char[]>> m_vecNarrow;
    int m_iCount = 0;
};

// Format called with exactly the types of the arguments, one template
// instance per sequence of kinds.
template <typename... T>
void Call(CZRString& str, const wchar_t* pszFormat, const std::vector<Arg>& vecArgs, std::size_t i,
          T... values)
{
    if (i == vecArgs.size()) {
        str.Format(pszFormat, values...);
        return;
    }
    if constexpr (sizeof...(T) < kMaxSlots) {
        const Arg& arg = vecArgs[i];
        switch (arg.kind) {
        case Kind::Int:
            Call(str, pszFormat, vecArgs, i + 1, values..., arg.iValue);
            break;
        case Kind::Int64:
            Call(str, pszFormat, vecArgs, i + 1, values..., arg.llValue);
            break;
        case Kind::WideText:
            Call(str, pszFormat, vecArgs, i + 1, values..., arg.pszWide);
            break;
        case Kind::NarrowText:
            Call(str, pszFormat, vecArgs, i + 1, values..., arg.pszNarrow);
            break;
        case Kind::Pointer:
            Call(str, pszFormat, vecArgs, i + 1, values..., arg.pPointer);
            break;
        case Kind::Double:
            Call(str, pszFormat, vecArgs, i + 1, values..., arg.dValue);
            break;
        case Kind::LongDouble:
            Call(str, pszFormat, vecArgs, i + 1, values..., arg.ldValue);
            break;
        }
    } else {
        FUZZ_CHECK(!"more arguments than slots");
    }
}

// glibc's swprintf for one conversion, when it formats it as the Windows
// conventions do; false when it would not.
bool Expected(const std::wstring& strFormat, const Conversion& c, const Arg* pValue, std::wstring& strOut)
{
    if (!c.bKnown) {
        // Copied as written.
        strOut = strFormat.substr(c.nStart, c.nEnd - c.nStart);
        return true;
    }
    if (c.iWidth > kMaxCompared || c.iWidth < -kMaxCompared || c.iWidth == INT_MIN ||
        (c.bPrecision && c.iPrecision > kMaxCompared))
        return false;
    if (c.wcType == L'%') {
        strOut = L"%";
        return true;
    }
    const bool bZero = c.strFlags.find(L'0') != std::wstring::npos;
    std::wstring strSize;
    switch (c.wcType) {
    case L'd':
    case L'i':
    case L'u':
    case L'o':
    case L'x':
    case L'X':
        if (c.strSize == L"I" || c.strSize == L"I32" || c.strSize == L"I64")
            return false;
        strSize = c.strSize;
        break;
    case L'c':
    case L's':
        if (c.strSize == L"h" || bZero)
            return false;
        if (c.wcType == L'c' && pValue->iValue == 0)
            return false; // glibc writes the character 0
        if (c.wcType == L's' && !pValue->pszWide)
            return false;
        strSize = L"l";
        break;
    default:
        return false;
    }
    std::wstring strSpec = L"%" + c.strFlags;
    if (c.iWidth < 0)
        strSpec += L"-";
    strSpec += std::to_wstring(c.iWidth < 0 ? -c.iWidth : c.iWidth);
    if (c.bPrecision && c.iPrecision >= 0)
        strSpec += L"." + std::to_wstring(c.iPrecision);
    strSpec += strSize;
    strSpec += c.wcType;

    std::vector<wchar_t> buffer(2 * kMaxCompared + 256);
    int iLength = -1;
    switch (pValue->kind) {
    case Kind::Int:
        iLength = std::swprintf(buffer.data(), buffer.size(), strSpec.c_str(), pValue->iValue);
        break;
    case Kind::Int64:
        iLength = std::swprintf(buffer.data(), buffer.size(), strSpec.c_str(), pValue->llValue);
        break;
    case Kind::WideText:
        iLength = std::swprintf(buffer.data(), buffer.size(), strSpec.c_str(), pValue->pszWide);
        break;
    default:
        return false;
    }
    if (iLength < 0)
        return false;
    strOut.assign(buffer.data(), static_cast<std::size_t>(iLength));
    return true;
}

// The whole expected text, or false when a conversion is not comparable.
bool ExpectedText(const std::wstring& strFormat, const std::vector<Conversion>& vecConversions,
                  const std::vector<Arg>& vecArgs, std::wstring& strOut)
{
    std::size_t nAt = 0;
    std::size_t nArg = 0;
    for (const Conversion& c : vecConversions) {
        strOut.append(strFormat, nAt, c.nStart - nAt);
        nArg += (c.bStarWidth ? 1 : 0) + (c.bStarPrecision ? 1 : 0);
        if (c.wcType == 0)
            return true; // the formatter copies the unfinished conversion: not compared
        std::wstring strPiece;
        const Arg* pValue = c.bKnown && c.bTakesValue ? &vecArgs[nArg++] : nullptr;
        if (!Expected(strFormat, c, pValue, strPiece))
            return false;
        strOut += strPiece;
        nAt = c.nEnd;
    }
    strOut.append(strFormat, nAt, std::wstring::npos);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    FuzzedDataProvider input(pData, cbData);
    const std::string strBytes = input.ConsumeRandomLengthString(256);
    std::wstring strFormat =
        kvfuzz::WideFromBytes(reinterpret_cast<const std::uint8_t*>(strBytes.data()), strBytes.size());
    std::vector<Conversion> vecConversions = Parse(strFormat);

    CArguments args(input);
    args.Build(vecConversions);

    CZRString str;
    Call(str, strFormat.c_str(), args.Args(), 0);
    FUZZ_CHECK(str.GetLength() >= 0);
    FUZZ_CHECK(std::wcslen(str) == static_cast<std::size_t>(str.GetLength()));

    std::wstring strExpected;
    const bool bUnfinished = !vecConversions.empty() && vecConversions.back().wcType == 0;
    if (!bUnfinished && ExpectedText(strFormat, vecConversions, args.Args(), strExpected)) {
        const std::wstring strGot(static_cast<const wchar_t*>(str),
                                  static_cast<std::size_t>(str.GetLength()));
        if (std::getenv("KVFUZZ_VERBOSE"))
            std::fprintf(stderr, "compared \"%ls\" -> \"%ls\"\n", strFormat.c_str(), strGot.c_str());
        if (strGot != strExpected) {
            std::fprintf(stderr, "format \"%ls\"\n  got      \"%ls\"\n  expected \"%ls\"\n",
                         strFormat.c_str(), strGot.c_str(), strExpected.c_str());
            FUZZ_CHECK(strGot == strExpected);
        }
    }

    // Formatting its own text into itself.
    CZRString strSelf(L"self");
    strSelf.Format(L"%s|%s", static_cast<const wchar_t*>(strSelf), static_cast<const wchar_t*>(str));
    FUZZ_CHECK(strSelf.GetLength() == 5 + str.GetLength());
    return 0;
}
