// CZRString::Format: Windows wide printf conventions on every platform.
#include "ZRString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

std::wstring Fmt(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    CZRString str;
    str.FormatV(pszFormat, args);
    va_end(args);
    return std::wstring(static_cast<const wchar_t*>(str));
}

template <typename T> struct Row {
    const wchar_t* pszFormat;
    T value;
    const wchar_t* pszExpected;
};

template <typename T> void CheckRows(const Row<T>* pRows, std::size_t nRows)
{
    for (std::size_t n = 0; n < nRows; ++n) {
        SCOPED_TRACE(testing::Message() << "format #" << n);
        EXPECT_EQ(std::wstring(pRows[n].pszExpected), Fmt(pRows[n].pszFormat, pRows[n].value))
            << "format: " << testing::PrintToString(std::wstring(pRows[n].pszFormat));
    }
}

#define CHECK_ROWS(rows) CheckRows(rows, sizeof(rows) / sizeof(rows[0]))

} // namespace

TEST(Format, Int)
{
    static const Row<int> rows[] = {
        {L"%d", 0, L"0"},
        {L"%d", -1, L"-1"},
        {L"%d", INT_MIN, L"-2147483648"},
        {L"%i", INT_MAX, L"2147483647"},
        {L"%5d", 42, L"   42"},
        {L"%-5d|", 42, L"42   |"},
        {L"%05d", 42, L"00042"},
        {L"%05d", -42, L"-0042"},
        {L"%-05d|", 42, L"42   |"},
        {L"%+d", 42, L"+42"},
        {L"%+d", -42, L"-42"},
        {L"%+d", 0, L"+0"},
        {L"% d", 42, L" 42"},
        {L"% d", -42, L"-42"},
        {L"%+ d", 42, L"+42"},
        {L"% 05d", 42, L" 0042"},
        {L"%.3d", 7, L"007"},
        {L"%.3d", -7, L"-007"},
        {L"%.0d", 0, L""},
        {L"%5.0d|", 0, L"     |"},
        {L"%08.3d", 5, L"     005"},
        {L"%1d", 123, L"123"},
        {L"%hd", 70000, L"4464"},
        {L"%hhd", 255, L"-1"},
        {L"%I32d", -5, L"-5"},
        {L"[%d]", 7, L"[7]"},
        {L"/Factory/FILE[%d]", 12, L"/Factory/FILE[12]"},
    };
    CHECK_ROWS(rows);
}

TEST(Format, UnsignedHexOctal)
{
    static const Row<unsigned int> rows[] = {
        {L"%u", 0u, L"0"},
        {L"%u", 4294967295u, L"4294967295"},
        {L"%x", 0x1Au, L"1a"},
        {L"%xd", 0x1Au, L"1ad"},
        {L"%X", 0x1Au, L"1A"},
        {L"%x", 0xDEADBEEFu, L"deadbeef"},
        {L"%X", 0xFFFFFFFFu, L"FFFFFFFF"},
        {L"%08X", 0x80004005u, L"80004005"},
        {L"0x%08x", 0x57u, L"0x00000057"},
        {L"%#x", 0x1Au, L"0x1a"},
        {L"%#X", 0x1Au, L"0X1A"},
        {L"%#x", 0u, L"0"},
        {L"%#08x", 0x1Au, L"0x00001a"},
        {L"%#8x", 0x1Au, L"    0x1a"},
        {L"%-#8x|", 0x1Au, L"0x1a    |"},
        {L"%#.4x", 0x1Au, L"0x001a"},
        {L"%.0x", 0u, L""},
        {L"%o", 8u, L"10"},
        {L"%o", 0u, L"0"},
        {L"%#o", 8u, L"010"},
        {L"%#o", 0u, L"0"},
        {L"%#.0o", 0u, L"0"},
        {L"%#.3o", 8u, L"010"},
        {L"%+u", 5u, L"5"},
        {L"% x", 5u, L"5"},
        {L"%hu", 0xFFFFFFFFu, L"65535"},
        {L"%hx", 0x12345u, L"2345"},
        {L"%hhx", 0x1FFu, L"ff"},
        {L"%I32u", 3000000000u, L"3000000000"},
    };
    CHECK_ROWS(rows);
}

TEST(Format, SixtyFourBit)
{
    static const Row<long long> rowsSigned[] = {
        {L"%lld", INT64_MIN, L"-9223372036854775808"},
        {L"%lld", INT64_MAX, L"9223372036854775807"},
        {L"%lli", -1, L"-1"},
        {L"%I64d", INT64_MIN, L"-9223372036854775808"},
        {L"%I64d", 5000000000LL, L"5000000000"},
        {L"%020lld", -1, L"-0000000000000000001"},
        {L"%+lld", 0, L"+0"},
        {L"%25lld", INT64_MAX, L"      9223372036854775807"},
        {L"%jd", -12345678901LL, L"-12345678901"},
    };
    CHECK_ROWS(rowsSigned);
    static const Row<unsigned long long> rowsUnsigned[] = {
        {L"%llu", UINT64_MAX, L"18446744073709551615"},
        {L"%llx", UINT64_MAX, L"ffffffffffffffff"},
        {L"%llX", 0xABCDEF0123456789ULL, L"ABCDEF0123456789"},
        {L"%I64u", 10000000000ULL, L"10000000000"},
        {L"%I64x", 0x100000000ULL, L"100000000"},
        {L"%I64X", 0x1AULL, L"1A"},
        {L"%llo", UINT64_MAX, L"1777777777777777777777"},
        {L"%#llx", 0x1ULL << 63, L"0x8000000000000000"},
    };
    CHECK_ROWS(rowsUnsigned);
}

// long is 32-bit on Windows and 64-bit on Linux: it must be read as long.
TEST(Format, Long)
{
    EXPECT_EQ(L"-123456", Fmt(L"%ld", -123456L));
    EXPECT_EQ(L"4000000000", Fmt(L"%lu", 4000000000UL));
    EXPECT_EQ(L"deadbeef", Fmt(L"%lx", 0xDEADBEEFUL));
    EXPECT_EQ(std::to_wstring(LONG_MAX) + L"|7", Fmt(L"%ld|%d", LONG_MAX, 7));
    EXPECT_EQ(std::to_wstring(LONG_MIN) + L"|7", Fmt(L"%ld|%d", LONG_MIN, 7));
    EXPECT_EQ(std::to_wstring(ULONG_MAX) + L"|7", Fmt(L"%lu|%d", ULONG_MAX, 7));
}

TEST(Format, PointerSized)
{
    EXPECT_EQ(std::to_wstring(SIZE_MAX), Fmt(L"%zu", SIZE_MAX));
    EXPECT_EQ(std::to_wstring(SIZE_MAX), Fmt(L"%Iu", SIZE_MAX));
    EXPECT_EQ(L"-1|2", Fmt(L"%Id|%d", static_cast<std::ptrdiff_t>(-1), 2));
    EXPECT_EQ(L"-3", Fmt(L"%td", static_cast<std::ptrdiff_t>(-3)));
}

TEST(Format, Char)
{
    static const Row<int> rows[] = {
        {L"%c", L'A', L"A"},
        {L"%c", L'\u00e9', L"\u00e9"},
        {L"%c", L'\u20ac', L"\u20ac"},
        {L"%c", 0x0416, L"\u0416"},
        {L"%lc", L'\u00fc', L"\u00fc"},
        {L"%wc", L'z', L"z"},
        {L"%C", 0xE9, L"\u00e9"},
        {L"%hc", 'q', L"q"},
        {L"%3c", L'A', L"  A"},
        {L"%-3c|", L'A', L"A  |"},
        {L"%03c", L'A', L"00A"},
        {L"[%c]", 0, L"[]"},
    };
    CHECK_ROWS(rows);
    EXPECT_EQ(L"drive D:", Fmt(L"drive %c:", L'D'));
}

TEST(Format, WideString)
{
    static const wchar_t szUnterminated[3] = {L'a', L'b', L'c'};
    static const Row<const wchar_t*> rows[] = {
        {L"%s", L"abc", L"abc"},
        {L"%s", L"", L""},
        {L"%s", nullptr, L"(null)"},
        {L"%.3s", nullptr, L"(nu"},
        {L"%8s", nullptr, L"  (null)"},
        {L"%5s", L"abc", L"  abc"},
        {L"%-5s|", L"abc", L"abc  |"},
        {L"%2s", L"abc", L"abc"},
        {L"%.2s", L"abc", L"ab"},
        {L"%.0s", L"abc", L""},
        {L"%.10s", L"abc", L"abc"},
        {L"%5.1s", L"abc", L"    a"},
        {L"%05s", L"ab", L"000ab"},
        {L"%-05s|", L"ab", L"ab   |"},
        {L"%ls", L"wide", L"wide"},
        {L"%ws", L"wide", L"wide"},
        {L"%s", L"Gr\u00f6\u00dfe \u20ac \u041f\u0440\u0438", L"Gr\u00f6\u00dfe \u20ac \u041f\u0440\u0438"},
        {L"%.3s", szUnterminated, L"abc"},
    };
    CHECK_ROWS(rows);
    EXPECT_EQ(L"D:\\Media\\Media3.xml", Fmt(L"%s\\Media%i.xml", L"D:\\Media", 3));
}

TEST(Format, NarrowString)
{
    static const Row<const char*> rows[] = {
        {L"%S", "abc", L"abc"},
        {L"%hs", "x\xE9", L"x\u00e9"},
        {L"%S", nullptr, L"(null)"},
        {L"%4.2hs", "abc", L"  ab"},
    };
    CHECK_ROWS(rows);
}

TEST(Format, Star)
{
    EXPECT_EQ(L"   42", Fmt(L"%*d", 5, 42));
    EXPECT_EQ(L"42   |", Fmt(L"%*d|", -5, 42));
    EXPECT_EQ(L"007", Fmt(L"%.*d", 3, 7));
    EXPECT_EQ(L"7", Fmt(L"%.*d", -1, 7));
    EXPECT_EQ(L"    ab", Fmt(L"%*.*s", 6, 2, L"abcdef"));
    EXPECT_EQ(L"00042", Fmt(L"%0*d", 5, 42));
    EXPECT_EQ(L"1   |2", Fmt(L"%-*d|%d", 4, 1, 2));
}

TEST(Format, Pointer)
{
    const std::size_t nDigits = 2 * sizeof(void*);
    EXPECT_EQ(std::wstring(nDigits, L'0'), Fmt(L"%p", static_cast<void*>(nullptr)));
    EXPECT_EQ(std::wstring(nDigits - 6, L'0') + L"ABCDEF",
              Fmt(L"%p", reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xABCDEF))));
    EXPECT_EQ(L"  " + std::wstring(nDigits - 2, L'0') + L"1F",
              Fmt(L"%*p", static_cast<int>(nDigits + 2),
                  reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x1F))));
}

TEST(Format, Float)
{
    EXPECT_EQ(L"1.500000", Fmt(L"%f", 1.5));
    EXPECT_EQ(L"3.14", Fmt(L"%.2f", 3.14159));
    EXPECT_EQ(L"  -2.500", Fmt(L"%8.3f", -2.5));
    EXPECT_EQ(L"+1.0|7", Fmt(L"%+.1lf|%d", 1.0, 7));
    EXPECT_EQ(L"0.25", Fmt(L"%g", 0.25));
    EXPECT_EQ(L"2.50|7", Fmt(L"%.2Lf|%d", 2.5L, 7));
}

TEST(Format, PercentAndLiterals)
{
    EXPECT_EQ(L"100%", Fmt(L"100%%"));
    EXPECT_EQ(L"%d", Fmt(L"%%d"));
    EXPECT_EQ(L"", Fmt(L""));
    EXPECT_EQ(L"plain text", Fmt(L"plain text"));
    EXPECT_EQ(L"50%", Fmt(L"50%"));
    EXPECT_EQ(L"%", Fmt(L"%"));
    EXPECT_EQ(L"a%-", Fmt(L"a%-"));
    EXPECT_EQ(L"%5", Fmt(L"%5"));
    EXPECT_EQ(L"%.", Fmt(L"%."));
    EXPECT_EQ(L"%ll", Fmt(L"%ll"));
    EXPECT_EQ(L"%I6", Fmt(L"%I6"));
}

// An unknown conversion is copied and reads no argument, so the
// conversions after it still get theirs.
TEST(Format, UnknownConversionKeepsArguments)
{
    EXPECT_EQ(L"%y|7", Fmt(L"%y|%d", 7));
    EXPECT_EQ(L"%-5y|7", Fmt(L"%-5y|%d", 7));
    EXPECT_EQ(L"%Ld|x", Fmt(L"%Ld|%s", L"x"));
    EXPECT_EQ(L"%lp|x", Fmt(L"%lp|%s", L"x"));
    EXPECT_EQ(L"%*y 9", Fmt(L"%*y %d", 3, 9)) << "the * is read before the type is known";
}

TEST(Format, NStoresNothing)
{
    int iCount = 12345;
    EXPECT_EQ(L"ab|7", Fmt(L"a%nb|%d", &iCount, 7));
    EXPECT_EQ(12345, iCount);
}

TEST(Format, Mixed)
{
    EXPECT_EQ(L"CKorvane::GetFileChild(3, 0x0000001a) FILE=C:\\a\\b.txt [x] 9 100%",
              Fmt(L"CKorvane::GetFileChild(%i, 0x%08x) FILE=%s [%c] %lld 100%%", 3, 0x1Au, L"C:\\a\\b.txt",
                  L'x', 9LL));
}

TEST(Format, LongOutputsGrow)
{
    std::wstring strLong(20000, L'x');
    strLong[12345] = L'y';
    EXPECT_EQ(L"<" + strLong + L">", Fmt(L"<%s>", strLong.c_str()));
    EXPECT_EQ(strLong, Fmt(strLong.c_str())) << "a long format without conversions";
    EXPECT_EQ(std::wstring(14999, L' ') + L"1", Fmt(L"%15000d", 1));
    EXPECT_EQ(std::wstring(10000, L'0') + L"|" + strLong, Fmt(L"%.10000d|%s", 0, strLong.c_str()));
    EXPECT_EQ(std::wstring(30000 - 5, L' ') + L"ab\u00e9cd", Fmt(L"%30000s", L"ab\u00e9cd"));
}

// Padding from one width or precision stops at 65536 characters.
TEST(Format, HugeWidthsAreCapped)
{
    EXPECT_EQ(65536u, Fmt(L"%100000d", 1).size());
    EXPECT_EQ(65536u, Fmt(L"%2147483647d", 1).size());
    EXPECT_EQ(65536u, Fmt(L"%99999999999999999999d", 1).size()) << "a width past INT_MAX";
    EXPECT_EQ(65536u, Fmt(L"%.99999999999999999999d", 1).size());
    EXPECT_EQ(65536u, Fmt(L"%*d", INT_MIN, 1).size());
    EXPECT_EQ(L"abc", Fmt(L"%.99999999999999999999s", L"abc")) << "a string's precision only bounds it";
}

TEST(Format, ReplacesContent)
{
    CZRString str(L"old content");
    str.Format(L"%d", 5);
    EXPECT_EQ(std::wstring(L"5"), static_cast<const wchar_t*>(str));
    EXPECT_EQ(1, str.GetLength());
    str.Format(L"");
    EXPECT_TRUE(str.IsEmpty());
    str = L"x";
    str.Format(nullptr);
    EXPECT_EQ(0, str.GetLength());
    EXPECT_NE(nullptr, static_cast<const wchar_t*>(str));
}

TEST(Format, OwnTextAsArgument)
{
    CZRString str(L"abc");
    str.Format(L"%s!%s", static_cast<const wchar_t*>(str), static_cast<const wchar_t*>(str));
    EXPECT_EQ(std::wstring(L"abc!abc"), static_cast<const wchar_t*>(str));

    std::wstring strLong(3000, L'q');
    str = strLong.c_str();
    str.Format(L"%s%s%s", static_cast<const wchar_t*>(str), static_cast<const wchar_t*>(str),
               static_cast<const wchar_t*>(str));
    EXPECT_EQ(strLong + strLong + strLong, static_cast<const wchar_t*>(str));
    EXPECT_EQ(9000, str.GetLength());
}

TEST(Format, OwnTextAsFormat)
{
    CZRString str(L"x%dy%s");
    str.Format(str, 5, L"z");
    EXPECT_EQ(std::wstring(L"x5yz"), static_cast<const wchar_t*>(str));
}
