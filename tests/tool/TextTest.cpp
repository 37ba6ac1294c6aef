// UTF-8 in and out of the tool, and its integer parsing.
#include "output/Text.h"

#include <gtest/gtest.h>

#include <climits>

using namespace kvtool;

TEST(ToolText, Utf8RoundTripsEveryPlane)
{
    const std::wstring strWide = L"a\u00e9\u20ac\U0001F600z";
    const std::string strUtf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
    EXPECT_EQ(strUtf8, Utf8FromWide(strWide));
    EXPECT_EQ(strWide, WideFromUtf8(strUtf8));
}

TEST(ToolText, LoneSurrogateBecomesReplacement)
{
    std::wstring strWide = L"a";
    strWide += static_cast<wchar_t>(0xD800);
    strWide += L"b";
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b",
              Utf8FromWide(strWide));
}

TEST(ToolText, MalformedUtf8BecomesReplacement)
{
    struct {
        const char* pszIn;
        const wchar_t* pszOut;
    } cases[] = {
        {"\xC3", L"\uFFFD"}, // cut short at the end
        {"\xC3"
         "a",
         L"\uFFFDa"},                            // cut short by an ASCII letter, which survives
        {"\xC0\xAF", L"\uFFFD\uFFFD"},           // overlong "/": C0 never starts one
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"}, // an encoded surrogate
        {"\xE2\x82"
         "a",
         L"\uFFFDa"}, // one piece of a cut sequence
        {"\xFF"
         "x",
         L"\uFFFDx"}, // no lead byte at all
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.pszOut), WideFromUtf8(c.pszIn)) << c.pszIn;
}

TEST(ToolText, ParseIntAcceptsOnlyWholeDecimalInts)
{
    struct {
        const wchar_t* pszText;
        bool bOk;
        int iValue;
    } cases[] = {
        {L"3", true, 3},
        {L"-12", true, -12},
        {L"+7", true, 7},
        {L"2147483647", true, INT_MAX},
        {L"-2147483648", true, INT_MIN},
        {L"2147483648", false, 0},
        {L"99999999999999999999", false, 0},
        {L"", false, 0},
        {L"-", false, 0},
        {L"3x", false, 0},
        {L" 3", false, 0},
        {L"0x10", false, 0},
    };
    for (const auto& c : cases) {
        int iValue = 0;
        EXPECT_EQ(c.bOk, ParseInt(c.pszText, iValue)) << Utf8FromWide(c.pszText);
        if (c.bOk) {
            EXPECT_EQ(c.iValue, iValue);
        }
    }
}
