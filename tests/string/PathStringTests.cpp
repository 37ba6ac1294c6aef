// CZRPathString: backslash operations on edge texts, and the string
// operations it inherits.
#include "ZRString.h"

#include <gtest/gtest.h>

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
        case Op::Add: strPath.AddBackslash(); break;
        case Op::Remove: strPath.RemoveBackslash(); break;
        case Op::RemoveFileSpec: strPath.RemoveFileSpec(); break;
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
