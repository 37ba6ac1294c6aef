// The one conversion between wide text and UTF-8, and its rule for what is
// no Unicode: U+FFFD, counted.
#include <kvutf/Utf.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Wide text from code units: UTF-16 units where wchar_t has 16 bits; on
// 32-bit wchar_t a character past U+FFFF is given as its own unit.
std::wstring Units(std::initializer_list<unsigned> units)
{
    std::wstring str;
    for (unsigned u : units)
        str += static_cast<wchar_t>(u);
    return str;
}

struct ToUtf8Case {
    const char* pszName;
    std::wstring strWide;
    std::string strUtf8;
    std::size_t cReplaced;
};

TEST(Utf, WideToUtf8ReplacesWhatIsNoUnicode)
{
    std::vector<ToUtf8Case> cases = {
        {"Empty", L"", "", 0},
        {"Ascii", L"abc", "abc", 0},
        {"TwoAndThreeBytes", L"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC", 0},
        {"Boundaries", Units({0x7F, 0x80, 0x7FF, 0x800, 0xFFFF}),
         "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", 0},
        {"LoneHigh", Units({'a', 0xD800, 'b'}),
         "a\xEF\xBF\xBD"
         "b",
         1},
        {"LoneLow", Units({'a', 0xDC00, 'b'}),
         "a\xEF\xBF\xBD"
         "b",
         1},
        {"HighAtEnd", Units({'a', 0xDBFF}), "a\xEF\xBF\xBD", 1},
        {"LowThenHigh", Units({0xDC00, 0xD800}), "\xEF\xBF\xBD\xEF\xBF\xBD", 2},
        {"TwoHighs", Units({0xD800, 0xD800, 0xDC00}),
         kvutf::kbWide16 ? "\xEF\xBF\xBD\xF0\x90\x80\x80" : "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
         kvutf::kbWide16 ? 1u : 3u},
    };
    if (kvutf::kbWide16) {
        cases.push_back({"Pair", Units({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80", 0});
        cases.push_back({"LastPair", Units({0xDBFF, 0xDFFF}), "\xF4\x8F\xBF\xBF", 0});
    } else {
        // On 32-bit wchar_t a surrogate is never half of a pair.
        cases.push_back({"Scalar", Units({0x1F600}), "\xF0\x9F\x98\x80", 0});
        cases.push_back({"Last", Units({0x10FFFF}), "\xF4\x8F\xBF\xBF", 0});
        cases.push_back({"PastLast", Units({0x110000, 'x'}), "\xEF\xBF\xBDx", 1});
        cases.push_back({"PairIsTwo", Units({0xD83D, 0xDE00}), "\xEF\xBF\xBD\xEF\xBF\xBD", 2});
    }
    // Past the stack buffer's size, a character must not be split.
    std::wstring strLong(300, L'\u20AC');
    strLong += static_cast<wchar_t>(0xDC00);
    std::string strLongUtf8;
    for (int i = 0; i < 300; ++i)
        strLongUtf8 += "\xE2\x82\xAC";
    cases.push_back({"Long", strLong, strLongUtf8 + "\xEF\xBF\xBD", 1});

    for (const ToUtf8Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        std::size_t cReplaced = 99;
        EXPECT_EQ(c.strUtf8, kvutf::Utf8FromWide(c.strWide, &cReplaced));
        EXPECT_EQ(c.cReplaced, cReplaced);
    }
}

struct FromUtf8Case {
    const char* pszName;
    std::string strUtf8;
    std::u32string strChars; // what the wide text holds, character by character
    std::size_t cReplaced;
};

std::u32string Chars(const std::wstring& str)
{
    std::u32string strOut;
    const wchar_t* p = str.data();
    const wchar_t* const pEnd = p + str.size();
    bool bReplaced = false;
    while (p < pEnd)
        strOut += kvutf::NextWide(p, pEnd, &bReplaced);
    EXPECT_FALSE(bReplaced) << "decoding made text that is no Unicode";
    return strOut;
}

TEST(Utf, Utf8ToWideReplacesEachBadPiece)
{
    const FromUtf8Case cases[] = {
        {"Plain", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"a\u00E9\u20AC\U0001F600", 0},
        {"Last", "\xF4\x8F\xBF\xBF", U"\U0010FFFF", 0},
        {"PastLast", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD", 4},
        {"Overlong",
         "\xC0\xAF"
         "a",
         U"\uFFFD\uFFFDa", 2},
        {"OverlongThree", "\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD", 3},
        {"EncodedSurrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD", 3},
        {"StrayContinuation",
         "a\x80"
         "b",
         U"a\uFFFDb", 1},
        {"CutThenGood",
         "\xE2\x82"
         "a",
         U"\uFFFDa", 1},
        {"CutAtEnd", "a\xF0\x9F\x98", U"a\uFFFD", 1},
        {"CutByLead", "\xF0\x9F\xC3\xA9", U"\uFFFD\u00E9", 1},
        {"NeverLead", "\xFF\xF5", U"\uFFFD\uFFFD", 2},
    };
    for (const FromUtf8Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        std::size_t cReplaced = 99;
        const std::wstring str = kvutf::WideFromUtf8(c.strUtf8, &cReplaced);
        EXPECT_EQ(c.strChars, Chars(str));
        EXPECT_EQ(c.cReplaced, cReplaced);
        // Valid text comes back byte for byte.
        if (c.cReplaced == 0) {
            EXPECT_EQ(c.strUtf8, kvutf::Utf8FromWide(str));
        }
    }
}

} // namespace
