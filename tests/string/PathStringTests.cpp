// CZRPathString: backslash operations on edge texts, and the string
// operations it inherits.
#include "ZRString.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

struct PathRow {
    const wchar_t* pszIn;
    const wchar_t* pszOut;
};

enum class Op { Add, Remove, RemoveFileSpec };

void CheckPathRows(Op op, const PathRow* pRows, std::size_t nRows)
{
    for (std::size_t n = 0; n < nRows; ++n) {
        CZRPathString strPath(pRows[n].pszIn);
        switch (op) {
        case Op::Add:
            strPath.AddBackslash();
            break;
        case Op::Remove:
            strPath.RemoveBackslash();
            break;
        case Op::RemoveFileSpec:
            strPath.RemoveFileSpec();
            break;
        }
        std::wstring strOut(static_cast<const wchar_t*>(strPath));
        EXPECT_EQ(pRows[n].pszOut, strOut) << "from " << testing::PrintToString(std::wstring(pRows[n].pszIn));
        EXPECT_EQ(strOut.size(), static_cast<std::size_t>(strPath.GetLength()))
            << "from " << testing::PrintToString(std::wstring(pRows[n].pszIn));
    }
}

#define CHECK_PATH_ROWS(op, rows) CheckPathRows(op, rows, sizeof(rows) / sizeof(rows[0]))

} // namespace

TEST(PathString, AddBackslash)
{
    static const PathRow rows[] = {
        {L"", L"\\"},
        {L"\\", L"\\"},
        {L"\\\\", L"\\\\"},
        {L"a", L"a\\"},
        {L"C:", L"C:\\"},
        {L"C:\\", L"C:\\"},
        {L"C:\\Data", L"C:\\Data\\"},
        {L"C:\\Data\\", L"C:\\Data\\"},
        {L"C:\\Data/", L"C:\\Data/\\"},
    };
    CHECK_PATH_ROWS(Op::Add, rows);
}

TEST(PathString, RemoveBackslash)
{
    static const PathRow rows[] = {
        {L"", L""},
        {L"\\", L""},
        {L"\\\\", L"\\"},
        {L"a", L"a"},
        {L"C:\\", L"C:"},
        {L"C:\\Data\\", L"C:\\Data"},
        {L"C:\\Data", L"C:\\Data"},
        {L"C:\\Data/", L"C:\\Data/"},
    };
    CHECK_PATH_ROWS(Op::Remove, rows);
}

TEST(PathString, RemoveFileSpec)
{
    static const PathRow rows[] = {
        {L"C:\\Data\\Tools", L"C:\\Data"},
        {L"C:\\Data\\Tools\\", L"C:\\Data\\Tools"},
        {L"C:\\Data\\file.txt", L"C:\\Data"},
        {L"C:\\a", L"C:"},
        {L"C:\\", L"C:"},
        {L"\\a", L""},
        {L"a\\b", L"a"},
        {L"", L""},
        {L"\\", L""},
        {L"\\\\", L"\\"},
        {L"a", L""},
        {L"C:", L""},
        {L"D:\\Media\\\u00c9t\u00e9", L"D:\\Media"},
    };
    CHECK_PATH_ROWS(Op::RemoveFileSpec, rows);
}

// The length bookkeeping after a cut: text appended lands right after it.
TEST(PathString, AppendAfterCuts)
{
    CZRPathString strPath(L"C:\\Data\\Tools\\");
    strPath.RemoveBackslash();
    strPath.RemoveFileSpec();
    strPath.AddBackslash();
    strPath += L"Other";
    EXPECT_EQ(std::wstring(L"C:\\Data\\Other"), static_cast<const wchar_t*>(strPath));
}

TEST(PathString, CopyAndAssignmentAreIndependent)
{
    CZRPathString strA(L"C:\\x");
    CZRPathString strB(strA);
    strB.AddBackslash();
    EXPECT_EQ(std::wstring(L"C:\\x"), static_cast<const wchar_t*>(strA));
    EXPECT_EQ(std::wstring(L"C:\\x\\"), static_cast<const wchar_t*>(strB));

    CZRPathString strC;
    strC = strB;
    strC.RemoveFileSpec();
    EXPECT_EQ(std::wstring(L"C:\\x\\"), static_cast<const wchar_t*>(strB));
    EXPECT_EQ(std::wstring(L"C:\\x"), static_cast<const wchar_t*>(strC));

    CZRPathString& strRef = strC;
    strC = strRef;
    strC = static_cast<const wchar_t*>(strC);
    EXPECT_EQ(std::wstring(L"C:\\x"), static_cast<const wchar_t*>(strC));

    strC = L"D:\\";
    EXPECT_EQ(3, strC.GetLength());
}

TEST(PathString, InheritedOperations)
{
    CZRPathString strPath(L"C:\\Src\\sub\\f.txt");
    EXPECT_EQ(1, strPath.Replace(L"C:\\Src", L"E:\\Disc"));
    int iPos = 0;
    EXPECT_TRUE(strPath.Find(L"\\sub\\", &iPos));
    EXPECT_EQ(7, iPos);
    EXPECT_EQ(0, strPath.CompareNoCase(L"e:\\DISC\\SUB\\F.TXT"));
    CZRString& strBase = strPath;
    strBase = L"Z:\\";
    strPath.RemoveBackslash();
    EXPECT_EQ(std::wstring(L"Z:"), static_cast<const wchar_t*>(strPath));
}

// Strings that never held text share nothing writable: every operation on a
// never-filled string leaves the others empty and gives its own result.
TEST(PathString, OperationsOnNeverFilledStrings)
{
    struct Case {
        const char* pszName;
        void (*pfnApply)(CZRPathString&);
        const wchar_t* pszExpected;
    };
    const Case aCases[] = {
        {"Empty", [](CZRPathString& str) { str.Empty(); }, L""},
        {"RemoveFileSpec", [](CZRPathString& str) { str.RemoveFileSpec(); }, L""},
        {"RemoveBackslash", [](CZRPathString& str) { str.RemoveBackslash(); }, L""},
        {"AddBackslash", [](CZRPathString& str) { str.AddBackslash(); }, L"\\"},
        {"append empty", [](CZRPathString& str) { str += L""; }, L""},
        {"append", [](CZRPathString& str) { str += L"ab"; }, L"ab"},
        {"assign empty", [](CZRPathString& str) { str = L""; }, L""},
        {"assign null", [](CZRPathString& str) { str = static_cast<const wchar_t*>(nullptr); }, L""},
        {"Format empty", [](CZRPathString& str) { str.Format(L"%s", L""); }, L""},
        {"Format", [](CZRPathString& str) { str.Format(L"%d", 7); }, L"7"},
        {"Replace", [](CZRPathString& str) { str.Replace(L"*.*", L"x"); }, L""},
        {"copy of an empty", [](CZRPathString& str) { str = CZRPathString(); }, L""},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszName);
        CZRPathString strBefore;
        CZRPathString str;
        CZRPathString strAfter;
        c.pfnApply(str);
        EXPECT_EQ(std::wstring(c.pszExpected), std::wstring(static_cast<const wchar_t*>(str)));
        EXPECT_EQ(static_cast<int>(std::wcslen(c.pszExpected)), str.GetLength());
        EXPECT_EQ(L"", std::wstring(static_cast<const wchar_t*>(strBefore)));
        EXPECT_EQ(L"", std::wstring(static_cast<const wchar_t*>(strAfter)));
        // Still usable after the operation, and the others with it.
        str += L"z";
        EXPECT_EQ(std::wstring(c.pszExpected) + L"z", std::wstring(static_cast<const wchar_t*>(str)));
        EXPECT_EQ(0, strBefore.GetLength());
        EXPECT_EQ(0, strAfter.GetLength());
    }
}
