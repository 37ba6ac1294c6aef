// Windows paths to host paths: drive mapping, separators, prefixes, names.
#include <kvwin32.h>
#include <shlwapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdlib>

using kvtest::TestDrive;

namespace {

// Sets or clears one environment variable for a test's lifetime.
class CEnvGuard {
  public:
    CEnvGuard(const char* pszName, const char* pszValue) : m_strName(pszName)
    {
        if (const char* pszOld = std::getenv(pszName)) {
            m_bHadOld = true;
            m_strOld = pszOld;
        }
        if (pszValue)
            setenv(pszName, pszValue, 1);
        else
            unsetenv(pszName);
    }
    ~CEnvGuard()
    {
        if (m_bHadOld)
            setenv(m_strName.c_str(), m_strOld.c_str(), 1);
        else
            unsetenv(m_strName.c_str());
    }

  private:
    std::string m_strName, m_strOld;
    bool m_bHadOld = false;
};

struct MapCase {
    const wchar_t* pszPath;
    const char* pszExpected; // "@" stands for the drive's folder; null: not mapped
};

TEST(PathMap, RulesTable)
{
    TestDrive drive(L'M');
    CEnvGuard unmapped("KORVANE_DRIVE_Q", nullptr);
    const std::string strRoot = drive.Native().string();
    const std::wstring strLong(256, L'n');

    const MapCase cases[] = {
        {L"M:\\a\\b.txt", "@/a/b.txt"},
        {L"m:\\a\\b.txt", "@/a/b.txt"}, // either case of the letter
        {L"M:/a/b.txt", "@/a/b.txt"},   // both separators
        {L"M:\\a/b\\c", "@/a/b/c"},
        {L"M:\\\\a\\\\\\b", "@/a/b"}, // repeated separators collapse
        {L"M:\\a\\", "@/a/"},         // a trailing separator stays: folders only
        {L"M:", "@"},                 // the drive itself
        {L"M:\\", "@"},
        {L"M:/", "@"},
        {L"\\\\?\\M:\\a\\b", "@/a/b"}, // extended-length prefix
        {L"\\\\?\\M:", "@"},
        {L"M:\\a\\.\\b\\..\\c", "@/a/c"}, // "." and ".." resolved
        {L"M:\\..\\..\\etc", "@/etc"},    // never above the drive's folder
        {L"/tmp/x", "/tmp/x"},            // host paths
        {L"/tmp\\x//y", "/tmp/x/y"},
        {L"/", "/"},
        {L"M:\\\u00e9t\u00e9\\\U0001F600.txt", "@/\xc3\xa9t\xc3\xa9/\xf0\x9f\x98\x80.txt"},
        {L"Q:\\a", nullptr},                // unmapped drive
        {L"a\\b", nullptr},                 // relative
        {L"\\a\\b", nullptr},               // rooted, no drive
        {L"M:a", nullptr},                  // drive-relative
        {L"\\\\server\\share\\a", nullptr}, // UNC
        {L"\\\\?\\UNC\\server\\share", nullptr},
        {L"\\\\.\\M:", nullptr}, // device namespace
        {L"1:\\a", nullptr},
        {L"", nullptr},
        {L"M:\\a\xD800z", nullptr}, // lone surrogate
        {L"M:\\\xDC00", nullptr},
    };
    for (const MapCase& c : cases) {
        std::string strExpected;
        if (c.pszExpected) {
            strExpected = c.pszExpected;
            if (strExpected[0] == '@')
                strExpected = strRoot + strExpected.substr(1);
        }
        EXPECT_EQ(strExpected, kvwin32::MapPath(c.pszPath)) << kvtest::Narrow(c.pszPath);
    }
    EXPECT_EQ("", kvwin32::MapPath(nullptr));

    const wchar_t szBeyond[] = {L'M', L':', L'\\', static_cast<wchar_t>(0x110000), L'\0'};
    EXPECT_EQ("", kvwin32::MapPath(szBeyond));

    // "M:\" and 256 characters is 259: the longest a plain path may be.
    EXPECT_EQ(strRoot + "/" + std::string(256, 'n'), kvwin32::MapPath((L"M:\\" + strLong).c_str()));
    EXPECT_EQ("", kvwin32::MapPath((L"M:\\" + strLong + L"n").c_str()));
    EXPECT_EQ("", kvwin32::MapPath((L"M:\\x\\" + strLong).c_str()));
    // The same length through "..", which Windows resolves before it counts.
    EXPECT_NE("", kvwin32::MapPath((L"M:\\x\\..\\" + strLong).c_str()));
    EXPECT_EQ(strRoot + "/" + std::string(400, 'n'),
              kvwin32::MapPath((L"\\\\?\\M:\\" + std::wstring(400, L'n')).c_str()));
}

TEST(PathMap, EnvironmentIsReadOnEveryCall)
{
    CEnvGuard guard("KORVANE_DRIVE_R", nullptr);
    EXPECT_EQ("", kvwin32::MapPath(L"R:\\a"));
    setenv("KORVANE_DRIVE_R", "/media/one/", 1); // a trailing slash is not doubled
    EXPECT_EQ("/media/one/a", kvwin32::MapPath(L"r:\\a"));
    setenv("KORVANE_DRIVE_R", "/media/two", 1);
    EXPECT_EQ("/media/two/a", kvwin32::MapPath(L"R:\\a"));
    setenv("KORVANE_DRIVE_R", "/", 1);
    EXPECT_EQ("/a", kvwin32::MapPath(L"R:\\a"));
    EXPECT_EQ("/", kvwin32::MapPath(L"R:\\"));
    setenv("KORVANE_DRIVE_R", "", 1); // empty is unmapped
    EXPECT_EQ("", kvwin32::MapPath(L"R:\\a"));
}

TEST(PathMap, ErrorsNameWhatIsMissing)
{
    TestDrive drive(L'M');
    CEnvGuard unmapped("KORVANE_DRIVE_Q", nullptr);
    drive.Write(L"dir\\file.txt", "x");

    struct ErrorCase {
        const wchar_t* pszPath;
        DWORD dwError;
    };
    const std::wstring strLong = L"M:\\" + std::wstring(257, L'n');
    const ErrorCase cases[] = {
        {L"M:\\dir\\missing.txt", ERROR_FILE_NOT_FOUND},
        {L"M:\\nodir\\file.txt", ERROR_PATH_NOT_FOUND},
        {L"M:\\dir\\file.txt\\below", ERROR_PATH_NOT_FOUND},
        {L"Q:\\file.txt", ERROR_PATH_NOT_FOUND},
        {L"dir\\file.txt", ERROR_PATH_NOT_FOUND},
        {L"\\\\server\\share\\file.txt", ERROR_PATH_NOT_FOUND},
        {L"M:\\dir\\bad\xD800", ERROR_FILE_NOT_FOUND},
        {L"M:\\bad\xD800\\file.txt", ERROR_PATH_NOT_FOUND},
        {strLong.c_str(), ERROR_FILENAME_EXCED_RANGE},
    };
    for (const ErrorCase& c : cases) {
        SetLastError(0);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(c.pszPath)) << kvtest::Narrow(c.pszPath);
        EXPECT_EQ(c.dwError, GetLastError()) << kvtest::Narrow(c.pszPath);
        EXPECT_FALSE(PathFileExistsW(c.pszPath));
    }
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(L"M:\\"));
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(L"m:"));
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(drive.Win(L"dir\\").c_str()));
    EXPECT_TRUE(PathFileExistsW(drive.Win(L"dir").c_str()));
    // Found without regard to case, as on Windows (the rules: CaseLookupTests).
    EXPECT_TRUE(PathFileExistsW(drive.Win(L"dir\\file.txt").c_str()));
    EXPECT_TRUE(PathFileExistsW(drive.Win(L"DIR\\FILE.TXT").c_str()));
}

TEST(PathMap, NonAsciiNamesReachTheFileSystemAsUtf8)
{
    TestDrive drive(L'M');
    const std::wstring strName = L"\u00e9t\u00e9 \u65e5\u672c \U0001F600.txt";
    kvtest::WriteBytes(drive.Native() / "\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80.txt",
                       "abc");
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesW(drive.Win(strName).c_str()));

    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(drive.Win(L"*.txt").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(strName, data.cFileName); // one wchar_t for the character beyond the BMP
    EXPECT_TRUE(FindClose(h));
}

} // namespace
