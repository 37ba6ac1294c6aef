// CZRString: storage, copies, appending, searching, comparison.
#include "ZRString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Text(const CZRString& str)
{
    return std::wstring(static_cast<const wchar_t*>(str));
}

// The length the string reports is the length of its text.
void ExpectConsistent(const CZRString& str)
{
    EXPECT_EQ(Text(str).size(), static_cast<std::size_t>(str.GetLength()));
    EXPECT_EQ(str.GetLength() == 0 ? TRUE : FALSE, str.IsEmpty());
}

} // namespace

TEST(String, DefaultIsEmptyAndTerminated)
{
    CZRString str;
    ASSERT_NE(nullptr, static_cast<const wchar_t*>(str));
    EXPECT_EQ(L"", Text(str));
    EXPECT_EQ(0, str.GetLength());
    EXPECT_EQ(TRUE, str.IsEmpty());
}

TEST(String, NullTextIsEmpty)
{
    CZRString str(static_cast<const wchar_t*>(nullptr));
    ASSERT_NE(nullptr, static_cast<const wchar_t*>(str));
    EXPECT_EQ(0, str.GetLength());
    str = L"abc";
    str = static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(L"", Text(str));
    ExpectConsistent(str);
}

TEST(String, CopyIsIndependent)
{
    CZRString strA(L"abc");
    CZRString strB(strA);
    strB += L"d";
    EXPECT_EQ(L"abc", Text(strA));
    EXPECT_EQ(L"abcd", Text(strB));
    EXPECT_NE(static_cast<const wchar_t*>(strA), static_cast<const wchar_t*>(strB));

    CZRString strC;
    strC = strA;
    strA = L"changed";
    EXPECT_EQ(L"abc", Text(strC));
    strC.Empty();
    EXPECT_EQ(L"changed", Text(strA));
}

TEST(String, SelfAssignment)
{
    CZRString str(L"same");
    CZRString& strRef = str;
    str = strRef;
    EXPECT_EQ(L"same", Text(str));
    str = static_cast<const wchar_t*>(str);
    EXPECT_EQ(L"same", Text(str));
    ExpectConsistent(str);
}

TEST(String, AssignFromOwnTail)
{
    CZRString str(L"C:\\Data\\Tools");
    str = static_cast<const wchar_t*>(str) + 3;
    EXPECT_EQ(L"Data\\Tools", Text(str));
    ExpectConsistent(str);
}

TEST(String, ShortAfterLongAndLongAfterShort)
{
    CZRString str(std::wstring(500, L'a').c_str());
    str = L"b";
    EXPECT_EQ(L"b", Text(str));
    ExpectConsistent(str);
    str = std::wstring(1000, L'c').c_str();
    EXPECT_EQ(std::wstring(1000, L'c'), Text(str));
    ExpectConsistent(str);
}

TEST(String, Append)
{
    CZRString str;
    str += L"C:";
    str += L"";
    str += static_cast<const wchar_t*>(nullptr);
    str += L"\\Data";
    EXPECT_EQ(L"C:\\Data", Text(str));
    ExpectConsistent(str);

    CZRString strMany;
    for (int i = 0; i < 10000; ++i) {
        strMany += (i % 2) ? L"y" : L"x";
    }
    EXPECT_EQ(10000, strMany.GetLength());
    EXPECT_EQ(L'x', static_cast<const wchar_t*>(strMany)[9998]);
    EXPECT_EQ(L'y', static_cast<const wchar_t*>(strMany)[9999]);
    ExpectConsistent(strMany);
}

// Doubling through its own text forces the block to grow while the text
// being appended lies in the block being replaced.
TEST(String, AppendOwnText)
{
    CZRString str(L"ab");
    for (int i = 0; i < 12; ++i) {
        str += str;
    }
    EXPECT_EQ(2 << 12, str.GetLength());
    std::wstring strExpected;
    for (int i = 0; i < (1 << 12); ++i) {
        strExpected += L"ab";
    }
    EXPECT_EQ(strExpected, Text(str));

    CZRString strTail(L"0123456789");
    strTail += static_cast<const wchar_t*>(strTail) + 7;
    EXPECT_EQ(L"0123456789789", Text(strTail));
}

TEST(String, EmptyKeepsItUsable)
{
    CZRString str(L"something long enough");
    str.Empty();
    EXPECT_EQ(L"", Text(str));
    ExpectConsistent(str);
    str += L"new";
    EXPECT_EQ(L"new", Text(str));
}

TEST(Find, Positions)
{
    CZRString str(L"abcabc");
    int iPos = -1;
    EXPECT_TRUE(str.Find(L"bc", &iPos));
    EXPECT_EQ(1, iPos);
    EXPECT_TRUE(str.Find(L"bc", &iPos, 1));
    EXPECT_EQ(1, iPos) << "a match at the start index itself counts";
    EXPECT_TRUE(str.Find(L"bc", &iPos, 2));
    EXPECT_EQ(4, iPos);
    EXPECT_TRUE(str.Find(L"c", &iPos, 5));
    EXPECT_EQ(5, iPos);
    EXPECT_TRUE(str.Find(L"abcabc", &iPos));
    EXPECT_EQ(0, iPos);
    EXPECT_TRUE(str.Find(L"a", &iPos, -5));
    EXPECT_EQ(0, iPos) << "a negative start searches from the beginning";
    EXPECT_TRUE(str.Find(L"cab", nullptr));
}

TEST(Find, Misses)
{
    CZRString str(L"abcabc");
    int iPos = 77;
    EXPECT_FALSE(str.Find(L"bc", &iPos, 5));
    EXPECT_FALSE(str.Find(L"bc", &iPos, 6));
    EXPECT_FALSE(str.Find(L"bc", &iPos, 7));
    EXPECT_FALSE(str.Find(L"bc", &iPos, 1000000));
    EXPECT_FALSE(str.Find(L"abcabcd", &iPos));
    EXPECT_FALSE(str.Find(L"ABC", &iPos)) << "Find is case-sensitive";
    EXPECT_FALSE(str.Find(nullptr, &iPos));
    EXPECT_FALSE(CZRString().Find(L"a", &iPos));
    EXPECT_EQ(77, iPos) << "a miss leaves the position alone";
}

TEST(Find, EmptyTextIsFoundAtTheStart)
{
    CZRString str(L"abc");
    int iPos = -1;
    EXPECT_TRUE(str.Find(L"", &iPos, 2));
    EXPECT_EQ(2, iPos);
    EXPECT_TRUE(str.Find(L"", &iPos, 3));
    EXPECT_EQ(3, iPos);
    EXPECT_FALSE(str.Find(L"", &iPos, 4));
    EXPECT_TRUE(CZRString().Find(L"", &iPos));
    EXPECT_EQ(0, iPos);
}

TEST(Replace, Table)
{
    struct {
        const wchar_t* pszText;
        const wchar_t* pszOld;
        const wchar_t* pszNew;
        const wchar_t* pszExpected;
        int iCount;
    } rows[] = {
        {L"a.b.c", L".", L"\\", L"a\\b\\c", 2},
        {L"xxaxx", L"x", L"", L"a", 4},
        {L"xxaxx", L"x", nullptr, L"a", 4},
        {L"aaa", L"aa", L"b", L"ba", 1},
        {L"aaaa", L"aa", L"b", L"bb", 2},
        {L"aaa", L"a", L"aa", L"aaaaaa", 3},
        {L"abc", L"abc", L"xyz", L"xyz", 1},
        {L"abc", L"abc", L"", L"", 1},
        {L"abc", L"abcd", L"x", L"abc", 0},
        {L"abc", L"B", L"x", L"abc", 0},
        {L"abc", L"", L"x", L"abc", 0},
        {L"abc", nullptr, L"x", L"abc", 0},
        {L"", L"a", L"x", L"", 0},
        {L"C:\\Src\\a.txt", L"C:\\Src", L"D:", L"D:\\a.txt", 1},
        {L"\u00e9t\u00e9", L"\u00e9", L"e", L"ete", 2},
    };
    for (const auto& row : rows) {
        CZRString str(row.pszText);
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.pszText)));
        EXPECT_EQ(row.iCount, str.Replace(row.pszOld, row.pszNew));
        EXPECT_EQ(row.pszExpected, Text(str));
        ExpectConsistent(str);
    }
}

TEST(Replace, Grows)
{
    CZRString str(std::wstring(1000, L'x').c_str());
    EXPECT_EQ(1000, str.Replace(L"x", L"yyy"));
    EXPECT_EQ(std::wstring(3000, L'y'), Text(str));
}

TEST(Replace, OwnTextAsArgument)
{
    CZRString str(L"ab");
    EXPECT_EQ(1, str.Replace(L"a", static_cast<const wchar_t*>(str)));
    EXPECT_EQ(L"abb", Text(str));
    EXPECT_EQ(1, str.Replace(static_cast<const wchar_t*>(str), L"x"));
    EXPECT_EQ(L"x", Text(str));
}

TEST(CompareNoCase, Table)
{
    struct {
        const wchar_t* pszLeft;
        const wchar_t* pszRight;
        int iSign;
    } rows[] = {
        {L"abc", L"abc", 0},
        {L"ABC", L"abc", 0},
        {L"Media1.XML", L"media1.xml", 0},
        {L"abc", L"abd", -1},
        {L"abd", L"ABC", 1},
        {L"ab", L"abc", -1},
        {L"abc", L"ab", 1},
        {L"", L"", 0},
        {L"", L"a", -1},
        {L"a", L"", 1},
        {L"apple", L"BANANA", -1},
        {L"BANANA", L"apple", 1},
        {L"[", L"{", -1},
        {L"@", L"`", -1},
        {L"\u00c4\u00d6\u00dc\u00c9\u00c0\u00de", L"\u00e4\u00f6\u00fc\u00e9\u00e0\u00fe", 0},
        {L"\u00d7", L"\u00f7", -1},
        {L"\u00df", L"SS", 1},
        {L"\u0178", L"\u00ff", 0},
        {L"\u0100\u0141\u0179", L"\u0101\u0142\u017a", 0},
        {L"\u0391\u0392\u0393\u03a9", L"\u03b1\u03b2\u03b3\u03c9", 0},
        {L"\u041f\u0420\u0418\u0412\u0415\u0422\u0401", L"\u043f\u0440\u0438\u0432\u0435\u0442\u0451", 0},
        {L"\u041f", L"\u0440", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.pszLeft) + L" vs " + row.pszRight));
        int iResult = CZRString(row.pszLeft).CompareNoCase(row.pszRight);
        EXPECT_EQ(row.iSign, (iResult > 0) - (iResult < 0));
    }
}

TEST(CompareNoCase, NullIsEmpty)
{
    EXPECT_EQ(0, CZRString().CompareNoCase(nullptr));
    EXPECT_GT(CZRString(L"a").CompareNoCase(nullptr), 0);
}
