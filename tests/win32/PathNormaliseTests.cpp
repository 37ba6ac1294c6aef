// Normalising Windows paths: "." and "..", separators, lengths and bad
// characters in every position, as seen through MapPath and the calls.
#include <kvwin32.h>
#include <shlwapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <set>
#include <string>
#include <vector>

using kvtest::TestDrive;

namespace {

// "@" in an expectation stands for the drive's folder.
std::string Expand(const std::string& strPattern, const std::string& strRoot)
{
    return !strPattern.empty() && strPattern[0] == '@' ? strRoot + strPattern.substr(1) : strPattern;
}

std::wstring Repeat(const std::wstring& strUnit, int n)
{
    std::wstring str;
    for (int i = 0; i < n; ++i)
        str += strUnit;
    return str;
}

TEST(PathNormalise, DotsAndSeparatorsTable)
{
    TestDrive drive(L'N');
    const std::string strRoot = drive.Native().string();
    struct Case {
        std::wstring strPath;
        const char* pszExpected; // "" when the path cannot be mapped
    };
    const Case cases[] = {
        {L"N:\\a\\b\\..\\..\\..\\c", "@/c"},
        {L"N:\\a\\..", "@"},
        {L"N:\\a\\..\\", "@"}, // back at the root: no trailing separator
        {L"N:\\a\\.\\", "@/a/"},
        {L"N:\\a\\.", "@/a"}, // a final "." is not a separator
        {L"N:\\a\\b\\..\\", "@/a/"},
        {L"N:\\a\\\\\\\\", "@/a/"},
        {L"N:\\\\", "@"},
        {L"N:\\.", "@"},
        {L"N:\\..", "@"},
        {L"N:.", ""}, // drive-relative, however short
        {L"N:..\\a", ""},
        {L"N:\\a\\...", "@/a/..."}, // three dots are a name
        {L"N:\\a\\..b\\.c", "@/a/..b/.c"},
        {L"N:\\.hidden\\x", "@/.hidden/x"},
        {L"N:\\a:b", "@/a:b"},
        {L"N:\\a\\b\\..\\c\\.\\..\\d", "@/a/d"},
        {L"\\\\?\\N:\\a\\..\\..", "@"},
        {L"\\\\?\\N:/a//b/", "@/a/b/"},
        {L"\\\\?\\/tmp/x", "/tmp/x"},
        {L"\\\\?\\", ""},
        {L"\\\\?", ""},
        {L"/..", "/"},
        {L"/a/../..", "/"},
        {L"//a", "/a"},
        {L"/a/", "/a/"},
        {L"/a\\.\\b", "/a/b"},
        // A bad character in a component that ".." removes does no harm.
        {L"N:\\a\\b\xD800\\..\\c", "@/a/c"},
        {L"N:\\a\\b\xD800\\c\\..\\..", "@/a"},
        {L"N:\\\xDFFF\\..", "@"},
        {L"N:\\a\\b\xD800\\c\\..", ""},
        {L"N:\\b\xD800\\c", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Expand(c.pszExpected, strRoot), kvwin32::MapPath(c.strPath.c_str()))
            << kvtest::Narrow(c.strPath);

    const wchar_t szBeyondGone[] = {L'N',  L':', L'\\', static_cast<wchar_t>(0x110000), L'\\', L'.', L'.',
                                    L'\\', L'z', L'\0'};
    EXPECT_EQ(strRoot + "/z", kvwin32::MapPath(szBeyondGone));
    const wchar_t szNegative[] = {L'N', L':', L'\\', static_cast<wchar_t>(-1), L'\0'};
    EXPECT_EQ("", kvwin32::MapPath(szNegative));
}

TEST(PathNormalise, DeepPathsKeepEveryComponent)
{
    TestDrive drive(L'N');
    const std::string strRoot = drive.Native().string();
    // Far deeper than any path a disc holds, through the extended prefix.
    const std::wstring strDeep = L"\\\\?\\N:" + Repeat(L"\\a", 300);
    std::string strExpected = strRoot;
    for (int i = 0; i < 300; ++i)
        strExpected += "/a";
    EXPECT_EQ(strExpected, kvwin32::MapPath(strDeep.c_str()));
    EXPECT_EQ(strRoot + "/z", kvwin32::MapPath((strDeep + Repeat(L"\\..", 300) + L"\\z").c_str()));
    EXPECT_EQ(strRoot + "/a/a/z", kvwin32::MapPath((strDeep + Repeat(L"\\..", 298) + L"\\z").c_str()));
    EXPECT_EQ(strRoot + "/z", kvwin32::MapPath((strDeep + Repeat(L"\\..", 400) + L"\\z").c_str()));
    // Each component different, so that ".." must bring back the right one.
    std::wstring strNumbered = L"\\\\?\\N:";
    for (int i = 0; i < 100; ++i)
        strNumbered += L"\\" + std::to_wstring(i);
    EXPECT_EQ(strRoot + "/0/1/2/x", kvwin32::MapPath((strNumbered + Repeat(L"\\..", 97) + L"\\x").c_str()));
}

TEST(PathNormalise, LongNamesOfEveryWidthConvertExactly)
{
    TestDrive drive(L'N');
    const std::string strRoot = drive.Native().string();
    // Names whose UTF-8 is far longer than the characters, of mixed widths,
    // so that every kind of sequence meets every kind of boundary.
    const std::wstring strUnits[] = {L"a", L"\u00e9", L"\u65e5", L"\U0001F600"};
    const std::string strUtf8[] = {"a", "\xc3\xa9", "\xe6\x97\xa5", "\xf0\x9f\x98\x80"};
    for (int iLen : {63, 64, 65, 85, 86, 127, 128, 129, 300}) {
        std::wstring strName;
        std::string strExpected;
        for (int i = 0; i < iLen; ++i) {
            const int k = (i * 7 + iLen) % 4;
            strName += strUnits[k];
            strExpected += strUtf8[k];
        }
        EXPECT_EQ(strRoot + "/" + strExpected + "/" + strExpected,
                  kvwin32::MapPath((L"\\\\?\\N:\\" + strName + L"\\" + strName).c_str()))
            << iLen << " characters";
    }
}

TEST(PathNormalise, MaxPathCountsCharactersOfTheNormalisedPath)
{
    TestDrive drive(L'N');
    const std::string strRoot = drive.Native().string();
    struct Case {
        std::wstring strPath;
        bool bMapped;
    };
    const Case cases[] = {
        {L"N:\\" + std::wstring(255, L'n') + L"\\", true}, // 259 with its separator
        {L"N:\\" + std::wstring(256, L'n') + L"\\", false},
        {L"N:\\.\\.\\.\\" + std::wstring(256, L'n'), true}, // "." is not counted
        {L"N:\\a\\..\\" + std::wstring(256, L'n'), true},
        {L"N:\\\\\\\\" + std::wstring(256, L'n'), true}, // nor are repeated separators
        {L"N:\\" + std::wstring(100, L'a') + L"\\" + std::wstring(155, L'b'), true},
        {L"N:\\" + std::wstring(100, L'a') + L"\\" + std::wstring(156, L'b'), false},
        {L"N:\\" + std::wstring(256, L'n') + L"\\x\\..", true},
        // Characters, not the bytes of their UTF-8.
        {L"N:\\" + std::wstring(256, L'\u00e9'), true},
        {L"N:\\" + std::wstring(256, static_cast<wchar_t>(0x1F600)), true},
        {L"N:\\" + std::wstring(257, L'\u00e9'), false},
        // Host paths have no such limit.
        {L"/" + std::wstring(300, L'n'), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bMapped, !kvwin32::MapPath(c.strPath.c_str()).empty())
            << c.strPath.size() << " characters: " << kvtest::Narrow(c.strPath.substr(0, 12));

    // The length is checked before the characters are.
    const std::wstring strLongBad = L"N:\\" + std::wstring(300, L'n') + L"\xD800";
    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(strLongBad.c_str()));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, GetLastError());
}

TEST(PathNormalise, ErrorsAfterDotDot)
{
    TestDrive drive(L'N');
    drive.Write(L"dir\\file.txt", "abc");
    drive.MakeDir(L".hid");
    struct Case {
        const wchar_t* pszPath;
        DWORD dwExpected; // the attributes, or the error when INVALID_FILE_ATTRIBUTES is expected
        bool bFails;
    };
    const Case cases[] = {
        {L"N:\\dir\\x\\..\\file.txt", FILE_ATTRIBUTE_NORMAL, false},
        {L"N:\\dir\\file.txt\\x\\..", FILE_ATTRIBUTE_NORMAL, false},
        {L"N:\\dir\\file.txt\\.", FILE_ATTRIBUTE_NORMAL, false},
        {L"N:\\.hid\\x\\..", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, false},
        {L"N:\\dir\\.hid\\..\\..\\.hid", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, false},
        {L"N:\\..\\dir", FILE_ATTRIBUTE_DIRECTORY, false},
        {L"N:\\dir\\..", FILE_ATTRIBUTE_DIRECTORY, false},
        {L"N:\\dir\\missing\\x\\..", ERROR_FILE_NOT_FOUND, true},
        {L"N:\\nodir\\x\\..\\file.txt", ERROR_PATH_NOT_FOUND, true},
        // A bad character: in the last component the file is missing, above it the path.
        {L"N:\\dir\\b\xD800\\x\\..", ERROR_FILE_NOT_FOUND, true},
        {L"N:\\dir\\b\xD800\\x\\..\\y", ERROR_PATH_NOT_FOUND, true},
        {L"N:\\b\xD800\\x\\y\\..\\..\\..\\dir\\file.txt", FILE_ATTRIBUTE_NORMAL, false},
        {L"N:\\dir\\b\xD800\\", ERROR_FILE_NOT_FOUND, true},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        const DWORD dw = GetFileAttributesW(c.pszPath);
        if (c.bFails) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, dw) << kvtest::Narrow(c.pszPath);
            EXPECT_EQ(c.dwExpected, GetLastError()) << kvtest::Narrow(c.pszPath);
        } else {
            EXPECT_EQ(c.dwExpected, dw) << kvtest::Narrow(c.pszPath);
        }
        EXPECT_EQ(!c.bFails, PathFileExistsW(c.pszPath) != FALSE) << kvtest::Narrow(c.pszPath);
    }
}

TEST(PathNormalise, FindNamesTheComponentThatRemains)
{
    TestDrive drive(L'N');
    drive.Write(L"dir\\file.txt", "abc");
    drive.Write(L"dir\\other.doc", "");
    struct Case {
        const wchar_t* pszPath;
        std::set<std::wstring> setNames; // empty: the search fails
        DWORD dwError;
    };
    const Case cases[] = {
        {L"N:\\dir\\x\\..\\file.txt", {L"file.txt"}, 0},
        {L"N:\\dir\\file.txt\\sub\\..", {L"file.txt"}, 0},
        {L"N:\\dir\\file.txt\\.", {L"file.txt"}, 0},
        {L"N:\\dir\\x\\..", {L"dir"}, 0},
        {L"N:\\dir\\..\\dir\\*.txt", {L"file.txt"}, 0},
        {L"N:\\dir\\*.txt\\x\\..", {L"file.txt"}, 0}, // the pattern comes back
        {L"N:\\dir\\..", {}, ERROR_FILE_NOT_FOUND},   // the root names no entry
        {L"N:\\dir\\x\\..\\", {}, ERROR_FILE_NOT_FOUND},
        {L"N:\\dir\\b\xD800\\x\\..", {}, ERROR_FILE_NOT_FOUND},
        {L"N:\\b\xD800\\x\\..\\*.*", {}, ERROR_PATH_NOT_FOUND},
        {L"N:\\nodir\\x\\..\\*.*", {}, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        WIN32_FIND_DATAW data;
        SetLastError(0);
        HANDLE h = FindFirstFileW(c.pszPath, &data);
        if (c.setNames.empty()) {
            EXPECT_EQ(INVALID_HANDLE_VALUE, h) << kvtest::Narrow(c.pszPath);
            EXPECT_EQ(c.dwError, GetLastError()) << kvtest::Narrow(c.pszPath);
            continue;
        }
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << kvtest::Narrow(c.pszPath);
        std::set<std::wstring> setNames;
        do
            setNames.insert(data.cFileName);
        while (FindNextFileW(h, &data));
        EXPECT_TRUE(FindClose(h));
        EXPECT_EQ(c.setNames, setNames) << kvtest::Narrow(c.pszPath);
    }
}

TEST(PathNormalise, OpenAfterDotDotAndTrailingSeparators)
{
    TestDrive drive(L'N');
    drive.Write(L"dir\\file.txt", "abc");
    struct Case {
        const wchar_t* pszPath;
        DWORD dwError; // 0: opens and reads "abc"
    };
    const Case cases[] = {
        {L"N:\\dir\\sub\\..\\file.txt", 0},
        {L"N:\\dir\\file.txt\\x\\..", 0},
        {L"N:/dir//./file.txt", 0},
        {L"N:\\dir\\missing\\", ERROR_FILE_NOT_FOUND},
        {L"N:\\dir\\file.txt\\", ERROR_PATH_NOT_FOUND},
        {L"N:\\nodir\\x\\..\\file.txt", ERROR_PATH_NOT_FOUND},
        {L"N:\\dir\\b\xD800", ERROR_FILE_NOT_FOUND},
        {L"N:\\b\xD800\\file.txt", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        HANDLE h = CreateFileW(c.pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (c.dwError) {
            EXPECT_EQ(INVALID_HANDLE_VALUE, h) << kvtest::Narrow(c.pszPath);
            EXPECT_EQ(c.dwError, GetLastError()) << kvtest::Narrow(c.pszPath);
            continue;
        }
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << kvtest::Narrow(c.pszPath);
        char buf[16];
        DWORD dwRead = 0;
        EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &dwRead, nullptr));
        EXPECT_EQ("abc", std::string(buf, dwRead)) << kvtest::Narrow(c.pszPath);
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(PathNormalise, DriveFolderWithTrailingSlashes)
{
    TestDrive drive(L'N');
    const std::string strRoot = drive.Native().string();
    const std::string strOld = std::getenv("KORVANE_DRIVE_N") ? std::getenv("KORVANE_DRIVE_N") : "";
    setenv("KORVANE_DRIVE_N", (strRoot + "///").c_str(), 1);
    EXPECT_EQ(strRoot + "/a", kvwin32::MapPath(L"N:\\a"));
    EXPECT_EQ(strRoot, kvwin32::MapPath(L"N:\\"));
    EXPECT_EQ(strRoot + "/a/", kvwin32::MapPath(L"N:\\a\\"));
    setenv("KORVANE_DRIVE_N", "///", 1);
    EXPECT_EQ("/", kvwin32::MapPath(L"N:"));
    EXPECT_EQ("/a/", kvwin32::MapPath(L"N:\\x\\..\\a\\"));
    EXPECT_EQ("/etc", kvwin32::MapPath(L"N:\\..\\etc"));
    setenv("KORVANE_DRIVE_N", strOld.c_str(), 1);
}

} // namespace
