// Folder searches on real trees: plain lookups, listings, patterns, details.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

using kvtest::TestDrive;

namespace {

struct Entry {
    DWORD dwAttributes;
    ULONGLONG qwSize;
    DWORD dwReserved0;
};

ULONGLONG SizeOf(const WIN32_FIND_DATAW& data)
{
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Every entry a search gives, in order; empty with the error when it fails.
std::vector<std::wstring> List(const std::wstring& strPattern,
                               std::map<std::wstring, Entry>* pEntries = nullptr, DWORD* pdwError = nullptr)
{
    std::vector<std::wstring> vec;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(strPattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
        if (pdwError)
            *pdwError = GetLastError();
        return vec;
    }
    do {
        vec.push_back(data.cFileName);
        if (pEntries)
            (*pEntries)[data.cFileName] = {data.dwFileAttributes, SizeOf(data), data.dwReserved0};
    } while (FindNextFileW(h, &data));
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    // Past the end it stays at the end.
    EXPECT_FALSE(FindNextFileW(h, &data));
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_TRUE(FindClose(h));
    return vec;
}

std::set<std::wstring> Sorted(const std::vector<std::wstring>& vec)
{
    return {vec.begin(), vec.end()};
}

TEST(Find, PlainPathGivesThatOneEntry)
{
    TestDrive drive;
    drive.Write(L"dir\\file.txt", "12345");
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(drive.Win(L"dir\\file.txt").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_STREQ(L"file.txt", data.cFileName);
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, data.dwFileAttributes);
    EXPECT_EQ(5u, SizeOf(data));
    EXPECT_FALSE(FindNextFileW(h, &data));
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

    std::map<std::wstring, Entry> entries;
    EXPECT_EQ(std::vector<std::wstring>{L"dir"}, List(drive.Win(L"dir"), &entries));
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, entries[L"dir"].dwAttributes);
    EXPECT_EQ(0u, entries[L"dir"].qwSize);
}

TEST(Find, StarDotStarListsEveryEntryDotsFirst)
{
    TestDrive drive;
    drive.Write(L"d\\a.txt", "aaa");
    drive.Write(L"d\\noext", "");
    drive.Write(L"d\\.hidden", "h");
    drive.MakeDir(L"d\\sub");
    drive.Write(L"d\\sub\\inner.txt", "not listed");
    drive.Write(L"d\\ro.txt", "r");
    ASSERT_EQ(0, chmod(drive.Native(L"d\\ro.txt").c_str(), 0444));

    for (const wchar_t* pszPattern : {L"d\\*.*", L"d\\*", L"d/*.*"}) {
        std::map<std::wstring, Entry> entries;
        const std::vector<std::wstring> vec = List(drive.Win(pszPattern), &entries);
        ASSERT_EQ(7u, vec.size()) << kvtest::Narrow(pszPattern);
        EXPECT_EQ(L".", vec[0]);
        EXPECT_EQ(L"..", vec[1]);
        EXPECT_EQ((std::set<std::wstring>{L".", L"..", L"a.txt", L"noext", L".hidden", L"sub", L"ro.txt"}),
                  Sorted(vec));
        EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, entries[L"."].dwAttributes);
        EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, entries[L".."].dwAttributes);
        EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, entries[L"a.txt"].dwAttributes);
        EXPECT_EQ(3u, entries[L"a.txt"].qwSize);
        EXPECT_EQ(0u, entries[L"noext"].qwSize);
        EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, entries[L".hidden"].dwAttributes);
        EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, entries[L"sub"].dwAttributes);
        EXPECT_EQ(FILE_ATTRIBUTE_READONLY, entries[L"ro.txt"].dwAttributes);
    }
    // The plain lookup of a dot-file is hidden too.
    std::map<std::wstring, Entry> entries;
    List(drive.Win(L"d\\.hidden"), &entries);
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, entries[L".hidden"].dwAttributes);
}

TEST(Find, PatternsMatchAsOnWindows)
{
    TestDrive drive;
    for (const wchar_t* pszName : {L"a.txt", L"B.TXT", L"noext", L"abc.doc", L"x.tar.gz", L".hidden", L"ab"})
        drive.Write(std::wstring(L"p\\") + pszName, "");
    struct Case {
        const wchar_t* pszPattern;
        std::set<std::wstring> setExpected;
    };
    const Case cases[] = {
        {L"*.txt", {L"a.txt", L"B.TXT"}},
        {L"*.TXT", {L"a.txt", L"B.TXT"}}, // case-insensitive
        {L"?.txt", {L"a.txt", L"B.TXT"}},
        {L"a?.txt", {L"a.txt"}}, // "?" matches nothing before a dot
        {L"noext?", {L"noext"}}, // or at the end
        {L"??", {L"ab"}},
        {L"noext.*", {L"noext"}},                // ".*" also matches no extension
        {L"*.", {L".", L"..", L"noext", L"ab"}}, // names without an extension
        {L"A*", {L"a.txt", L"abc.doc", L"ab"}},
        {L"*.gz", {L"x.tar.gz"}},
        {L"*.tar", {}},
        {L"x.*", {L"x.tar.gz"}},
        {L"*z", {L"x.tar.gz"}},
        {L".*", {L".", L"..", L".hidden"}},
        {L"*c*", {L"abc.doc"}},
    };
    for (const Case& c : cases) {
        DWORD dwError = 0;
        const std::vector<std::wstring> vec =
            List(drive.Win(std::wstring(L"p\\") + c.pszPattern), nullptr, &dwError);
        EXPECT_EQ(c.setExpected, Sorted(vec)) << kvtest::Narrow(c.pszPattern);
        if (c.setExpected.empty()) {
            EXPECT_EQ(ERROR_FILE_NOT_FOUND, dwError) << kvtest::Narrow(c.pszPattern);
        }
    }
}

TEST(Find, FailuresNameWhatIsMissing)
{
    TestDrive drive;
    drive.Write(L"dir\\file.txt", "x");
    struct Case {
        std::wstring strPath;
        DWORD dwError;
    };
    const Case cases[] = {
        {drive.Win(L"dir\\missing.txt"), ERROR_FILE_NOT_FOUND},
        {drive.Win(L"nodir\\file.txt"), ERROR_PATH_NOT_FOUND},
        {drive.Win(L"nodir\\*.*"), ERROR_PATH_NOT_FOUND},
        {drive.Win(L"dir\\file.txt\\*.*"), ERROR_PATH_NOT_FOUND},
        {drive.Win(L"dir\\*.doc"), ERROR_FILE_NOT_FOUND},
        {drive.Win(L"dir\\"), ERROR_FILE_NOT_FOUND}, // a trailing separator names no entry
        {L"T:\\", ERROR_FILE_NOT_FOUND},             // nor does a root
        {L"dir\\*.*", ERROR_PATH_NOT_FOUND},
        {L"\\\\server\\share\\*.*", ERROR_PATH_NOT_FOUND},
        {L"T:\\" + std::wstring(300, L'd') + L"\\*.*", ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case& c : cases) {
        WIN32_FIND_DATAW data;
        SetLastError(0);
        EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(c.strPath.c_str(), &data))
            << kvtest::Narrow(c.strPath);
        EXPECT_EQ(c.dwError, GetLastError()) << kvtest::Narrow(c.strPath);
    }
}

TEST(Find, SymbolicLinksAreFollowedAndMarked)
{
    TestDrive drive;
    drive.Write(L"l\\target.bin", "1234567");
    drive.MakeDir(L"l\\folder");
    std::filesystem::create_symlink("target.bin", drive.Native(L"l\\tofile"));
    std::filesystem::create_directory_symlink("folder", drive.Native(L"l\\todir"));
    std::filesystem::create_symlink("nowhere", drive.Native(L"l\\dangling"));

    std::map<std::wstring, Entry> entries;
    List(drive.Win(L"l\\*.*"), &entries);
    EXPECT_EQ(FILE_ATTRIBUTE_REPARSE_POINT, entries[L"tofile"].dwAttributes);
    EXPECT_EQ(7u, entries[L"tofile"].qwSize);
    EXPECT_EQ(IO_REPARSE_TAG_SYMLINK, entries[L"tofile"].dwReserved0);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, entries[L"todir"].dwAttributes);
    EXPECT_EQ(0u, entries[L"target.bin"].dwReserved0);
    // A link to nothing is still listed, so that its absence is noticed.
    ASSERT_EQ(1u, entries.count(L"dangling"));
    EXPECT_EQ(FILE_ATTRIBUTE_REPARSE_POINT, entries[L"dangling"].dwAttributes);

    entries.clear();
    List(drive.Win(L"l\\tofile"), &entries);
    EXPECT_EQ(7u, entries[L"tofile"].qwSize);
    EXPECT_EQ(FILE_ATTRIBUTE_REPARSE_POINT, GetFileAttributesW(drive.Win(L"l\\tofile").c_str()));
}

TEST(Find, SizesBeyondFourGiB)
{
    TestDrive drive;
    const ULONGLONG qwSize = 5ULL * 1024 * 1024 * 1024 + 3;
    drive.Write(L"s\\sparse.bin", "");
    const int iFd = ::open(drive.Native(L"s\\sparse.bin").c_str(), O_WRONLY);
    ASSERT_GE(iFd, 0);
    ASSERT_EQ(0, ::ftruncate(iFd, static_cast<off_t>(qwSize)));
    ::close(iFd);

    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(drive.Win(L"s\\sparse.bin").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(1u, data.nFileSizeHigh);
    EXPECT_EQ(0x40000003u, data.nFileSizeLow);
    EXPECT_TRUE(FindClose(h));

    std::map<std::wstring, Entry> entries;
    List(drive.Win(L"s\\*.*"), &entries);
    EXPECT_EQ(qwSize, entries[L"sparse.bin"].qwSize);
}

TEST(Find, WriteTimeIsAWindowsFileTime)
{
    TestDrive drive;
    drive.Write(L"t.bin", "x");
    // 2024-02-29 12:34:56.789 UTC.
    const struct timespec times[2] = {{1709210096, 789000000}, {1709210096, 789000000}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, drive.Native(L"t.bin").c_str(), times, 0));

    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(drive.Win(L"t.bin").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(FindClose(h));
    const ULONGLONG qwExpected = 133536836967890000ULL;
    EXPECT_EQ(qwExpected, (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                              data.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(qwExpected, (static_cast<ULONGLONG>(data.ftLastAccessTime.dwHighDateTime) << 32) |
                              data.ftLastAccessTime.dwLowDateTime);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&data.ftLastWriteTime, &st));
    EXPECT_EQ(2024, st.wYear);
    EXPECT_EQ(29, st.wDay);
    EXPECT_EQ(789, st.wMilliseconds);
    // Created now, long after the write time set above.
    EXPECT_NE(0u, data.ftCreationTime.dwHighDateTime);
}

// A host name Windows could not hold is listed with stand-ins: for bytes
// that are not UTF-8 (and for the "\\" stand-in itself) ones that never
// open, so the name cannot pass unnoticed; for a "\\" U+F05C, which opens
// that file and not one in a folder of the name before it.
TEST(Find, HostNamesWindowsCannotHold)
{
    struct {
        const char* pszHost;
        std::wstring strListed;
        bool bOpens;
    } cases[] = {
        {"bad\xff.txt", L"bad\xDCFF.txt", false},
        {"x\\y.txt", L"x\xF05Cy.txt", true},
        {"pua\xef\x81\x9c.txt", L"pua\xDCEF\xDC81\xDC9C.txt", false},
        // Not wildcards, nor a drive, nor anything else Windows keeps out of names.
        {"a?b.txt",
         L"a\xF03F"
         L"b.txt",
         true},
        {"a*.txt", L"a\xF02A.txt", true},
        {"c:d\"e<f>g|h",
         L"c\xF03A"
         L"d\xF022"
         L"e\xF03C"
         L"f\xF03E"
         L"g\xF07C"
         L"h",
         true},
        {"pua\xef\x80\xbf.txt", L"pua\xDCEF\xDC80\xDCBF.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszHost);
        TestDrive drive;
        kvtest::WriteBytes(drive.Native(L"u") / c.pszHost, "the file");
        kvtest::WriteBytes(drive.Native(L"u") / "x" / "y.txt", "another");
        kvtest::WriteBytes(drive.Native(L"u") / "aXb.txt", "another");
        std::vector<std::wstring> vec = List(drive.Win(L"u\\*.*"));
        EXPECT_NE(vec.end(), std::find(vec.begin(), vec.end(), c.strListed));
        if (c.bOpens) { // a search for the name finds it alone
            EXPECT_EQ(std::vector<std::wstring>{c.strListed}, List(drive.Win(L"u\\" + c.strListed)));
        }
        HANDLE h = CreateFileW(drive.Win(L"u\\" + c.strListed).c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(c.bOpens, h != INVALID_HANDLE_VALUE);
        if (h == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
            continue;
        }
        char ab[16] = {};
        DWORD cb = 0;
        EXPECT_TRUE(ReadFile(h, ab, sizeof ab, &cb, nullptr));
        EXPECT_EQ("the file", std::string(ab, cb));
        CloseHandle(h);
    }
}

TEST(Find, NestedSearchesStayIndependent)
{
    TestDrive drive;
    drive.Write(L"n\\a\\1.txt", "");
    drive.Write(L"n\\b\\2.txt", "");
    WIN32_FIND_DATAW outer;
    HANDLE hOuter = FindFirstFileW(drive.Win(L"n\\*.*").c_str(), &outer);
    ASSERT_NE(INVALID_HANDLE_VALUE, hOuter);
    std::set<std::wstring> setFiles;
    do {
        const std::wstring strName = outer.cFileName;
        if (strName == L"." || strName == L"..")
            continue;
        const std::vector<std::wstring> vecInner = List(drive.Win(L"n\\" + strName + L"\\*.*"));
        setFiles.insert(vecInner.begin() + 2, vecInner.end());
    } while (FindNextFileW(hOuter, &outer));
    EXPECT_TRUE(FindClose(hOuter));
    EXPECT_EQ((std::set<std::wstring>{L"1.txt", L"2.txt"}), setFiles);
}

} // namespace
