#include "Decimal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

namespace {

struct DwordCase {
    const wchar_t* pszText;
    DWORD dwExpected;
};
void PrintTo(const DwordCase& c, std::ostream* os)
{
    *os << c.dwExpected;
}

class DecimalToDwordTest : public testing::TestWithParam<DwordCase> {};

TEST_P(DecimalToDwordTest, Converts)
{
    EXPECT_EQ(GetParam().dwExpected, korvane::DecimalToDword(GetParam().pszText))
        << "text: " << GetParam().pszText;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecimalToDwordTest,
    testing::Values(DwordCase{L"16", 16}, DwordCase{L"   16", 16}, DwordCase{L"\t\n 16", 16},
                    DwordCase{L"16abc", 16}, DwordCase{L"0x10", 0}, DwordCase{L"", 0}, DwordCase{L"abc", 0},
                    DwordCase{L"-", 0}, DwordCase{L"+", 0}, DwordCase{L"+32", 32},
                    DwordCase{L"-1", 0xFFFFFFFFu}, DwordCase{L"2147483647", 2147483647u},
                    DwordCase{L"2147483648", 2147483647u}, DwordCase{L"4294967295", 2147483647u},
                    DwordCase{L"99999999999999999999999", 2147483647u},
                    DwordCase{L"-2147483648", 0x80000000u}, DwordCase{L"-2147483649", 0x80000000u},
                    DwordCase{L"-99999999999999999999999", 0x80000000u}, DwordCase{L"--1", 0},
                    DwordCase{L"+-1", 0}, DwordCase{L"1 2", 1}, DwordCase{L"007", 7}, DwordCase{nullptr, 0},
                    DwordCase{L"\x3000"
                              L"16",
                              0},
                    DwordCase{L"\r\v\f16", 16}));

struct Int64Case {
    const wchar_t* pszText;
    long long iExpected;
};
void PrintTo(const Int64Case& c, std::ostream* os)
{
    *os << c.iExpected;
}

class DecimalToInt64Test : public testing::TestWithParam<Int64Case> {};

TEST_P(DecimalToInt64Test, Converts)
{
    EXPECT_EQ(GetParam().iExpected, korvane::DecimalToInt64(GetParam().pszText))
        << "text: " << GetParam().pszText;
}

INSTANTIATE_TEST_SUITE_P(Texts, DecimalToInt64Test,
                         testing::Values(Int64Case{L"0", 0}, Int64Case{L"4294967296", 4294967296LL},
                                         Int64Case{L"5000000000 bytes", 5000000000LL},
                                         Int64Case{L"9223372036854775807", INT64_MAX},
                                         Int64Case{L"9223372036854775808", INT64_MAX},
                                         Int64Case{L"18446744073709551616", INT64_MAX},
                                         Int64Case{L"-9223372036854775808", INT64_MIN},
                                         Int64Case{L"-9223372036854775809", INT64_MIN},
                                         Int64Case{L"-42", -42}, Int64Case{L"  +7x", 7},
                                         Int64Case{L"0x7", 0}));

} // namespace
