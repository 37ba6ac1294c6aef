// Names found as Windows finds them: the exact spelling first, else without
// regard to case (simple case folding), through every call that takes a path.
#include <kvwin32.h>
#include <shlwapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using kvtest::TestDrive;

namespace {

// Each file holds its own host name, so a read tells which one was opened.
const char* const kTree[] = {
    "Apps/tool/setup.exe",
    "Dup/readme",
    "Dup/README",
    "Dup/ReadMe",
    "Umlaut/\xc3\x84.txt", // Ä
    "Umlaut/stra\xc3\x9f"
    "e", // straße
    "Umlaut/kelvin",
    "Greek/\xcf\x82.txt", // ς, final sigma
    "d1/d2/d3/d4/d5/d6/d7/d8/d9/d10/d11/d12/Leaf.bin",
};

std::string ReadAll(const std::wstring& strPath, DWORD& dwError)
{
    HANDLE h = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    dwError = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    char buf[256];
    DWORD dwRead = 0;
    const BOOL bRead = ReadFile(h, buf, sizeof buf, &dwRead, nullptr);
    CloseHandle(h);
    return bRead ? std::string(buf, dwRead) : std::string();
}

class CaseLookup : public ::testing::Test {
  protected:
    void SetUp() override
    {
        for (const char* pszName : kTree)
            kvtest::WriteBytes(drive.Native() / pszName, pszName);
    }
    TestDrive drive{L'C'};
};

TEST_F(CaseLookup, EveryCallFindsTheSameName)
{
    struct Case {
        const wchar_t* pszPath;
        const char* pszFound; // the host name reached; null when not found
        DWORD dwError;
    };
    const Case cases[] = {
        {L"Apps\\tool\\setup.exe", "Apps/tool/setup.exe", 0},
        {L"APPS\\Tool\\Setup.EXE", "Apps/tool/setup.exe", 0},
        {L"apps/TOOL/SETUP.exe", "Apps/tool/setup.exe", 0},
        // Several names fold alike: the exact one, else the smallest in byte order.
        {L"Dup\\readme", "Dup/readme", 0},
        {L"Dup\\ReadMe", "Dup/ReadMe", 0},
        {L"DUP\\README", "Dup/README", 0},
        {L"dup\\rEADme", "Dup/README", 0},
        {L"UMLAUT\\\u00e4.TXT", "Umlaut/\xc3\x84.txt", 0},
        {L"umlaut\\\u00c4.txt", "Umlaut/\xc3\x84.txt", 0},
        {L"Greek\\\u03a3.txt", "Greek/\xcf\x82.txt", 0},
        {L"GREEK\\\u03c3.TXT", "Greek/\xcf\x82.txt", 0},
        // Simple folding: one character for one, and never by locale.
        {L"Umlaut\\STRA\u1e9eE",
         "Umlaut/stra\xc3\x9f"
         "e",
         0},
        {L"Umlaut\\\u212aELVIN", "Umlaut/kelvin", 0}, // KELVIN SIGN
        {L"Umlaut\\STRASSE", nullptr, ERROR_FILE_NOT_FOUND},
        {L"Umlaut\\Ae.txt", nullptr, ERROR_FILE_NOT_FOUND},
        {L"D1\\D2\\D3\\D4\\D5\\D6\\D7\\D8\\D9\\D10\\D11\\D12\\LEAF.BIN",
         "d1/d2/d3/d4/d5/d6/d7/d8/d9/d10/d11/d12/Leaf.bin", 0},
        {L"d1\\D2\\d3\\D4\\d5\\d6\\x\\..\\d7\\d8\\d9\\d10\\d11\\d12\\leaf.bin",
         "d1/d2/d3/d4/d5/d6/d7/d8/d9/d10/d11/d12/Leaf.bin", 0},
        {L"APPS\\TOOLS\\setup.exe", nullptr, ERROR_PATH_NOT_FOUND},
        {L"APPS\\TOOL\\nothere.exe", nullptr, ERROR_FILE_NOT_FOUND},
        {L"APPS\\TOOL\\SETUP.EXE\\x", nullptr, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        const std::wstring strPath = drive.Win(c.pszPath);
        SCOPED_TRACE(kvtest::Narrow(strPath));
        DWORD dwError = 0;
        const std::string strRead = ReadAll(strPath, dwError);
        const DWORD dwAttributes = GetFileAttributesW(strPath.c_str());
        const DWORD dwAttributesError = GetLastError();
        WIN32_FIND_DATAW data;
        HANDLE hFind = FindFirstFileW(strPath.c_str(), &data);
        const DWORD dwFindError = GetLastError();
        if (hFind != INVALID_HANDLE_VALUE)
            FindClose(hFind);
        if (c.pszFound) {
            EXPECT_EQ(c.pszFound, strRead);
            EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, dwAttributes);
            EXPECT_TRUE(PathFileExistsW(strPath.c_str()));
            ASSERT_NE(INVALID_HANDLE_VALUE, hFind);
            // A search names the entry as the folder spells it.
            EXPECT_EQ(std::filesystem::path(c.pszFound).filename().string(), kvtest::Narrow(data.cFileName));
        } else {
            EXPECT_EQ(c.dwError, dwError);
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, dwAttributes);
            EXPECT_EQ(c.dwError, dwAttributesError);
            EXPECT_FALSE(PathFileExistsW(strPath.c_str()));
            EXPECT_EQ(INVALID_HANDLE_VALUE, hFind);
            EXPECT_EQ(c.dwError, dwFindError);
        }
    }
}

TEST_F(CaseLookup, PatternsAndTheirFoldersFold)
{
    struct Case {
        const wchar_t* pszPattern;
        std::vector<std::string> vecNames; // without "." and ".."
    };
    const Case cases[] = {
        {L"APPS\\TOOL\\*.EXE", {"setup.exe"}},
        {L"greek\\\u03a3*", {"\xcf\x82.txt"}},
        {L"Umlaut\\\u00e4*", {"\xc3\x84.txt"}},
        {L"UMLAUT\\*\u1e9e*",
         {"stra\xc3\x9f"
          "e"}},
        {L"umlaut\\ss*", {}},
        {L"D1\\D2\\D3\\D4\\D5\\D6\\D7\\D8\\D9\\D10\\D11\\D12\\l*", {"Leaf.bin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvtest::Narrow(c.pszPattern));
        std::vector<std::string> vecGot;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(drive.Win(c.pszPattern).c_str(), &data);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::string strName = kvtest::Narrow(data.cFileName);
                if (strName != "." && strName != "..")
                    vecGot.push_back(strName);
            } while (FindNextFileW(h, &data));
            EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
            FindClose(h);
        } else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
        }
        EXPECT_EQ(c.vecNames, vecGot);
    }
}

// The listing a lookup keeps of a folder gives way to the folder's changes.
TEST_F(CaseLookup, ChangedFoldersAreListedAgain)
{
    DWORD dwError = 0;
    const std::wstring strNew = drive.Win(L"APPS\\TOOL\\NEW.TXT");
    EXPECT_EQ("", ReadAll(strNew, dwError));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), dwError);
    kvtest::WriteBytes(drive.Native() / "Apps/tool/new.txt", "made");
    EXPECT_EQ("made", ReadAll(strNew, dwError));

    const std::wstring strDup = drive.Win(L"dup\\rEADme");
    EXPECT_EQ("Dup/README", ReadAll(strDup, dwError));
    std::filesystem::remove(drive.Native() / "Dup/README");
    EXPECT_EQ("Dup/ReadMe", ReadAll(strDup, dwError));
    std::filesystem::rename(drive.Native() / "Dup/ReadMe", drive.Native() / "Dup/other");
    EXPECT_EQ("Dup/readme", ReadAll(strDup, dwError));
    std::filesystem::remove(drive.Native() / "Dup/readme");
    EXPECT_EQ("", ReadAll(strDup, dwError));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), dwError);

    // A listing kept from before is dropped; the lookup still finds the name.
    kvwin32::ForgetFolderListings();
    EXPECT_EQ("made", ReadAll(strNew, dwError));
}

// A file that may be made is the one already there under another case; a
// new one goes into the folder as it is spelled.
TEST_F(CaseLookup, DispositionsFindTheFileThere)
{
    struct Case {
        const wchar_t* pszPath;
        DWORD dwDisposition;
        bool bOpens;
        DWORD dwError;           // the last error after the call
        const char* pszHostName; // the file holding "new" afterwards, or null
    };
    const Case cases[] = {
        {L"APPS\\TOOL\\SETUP.EXE", CREATE_NEW, false, ERROR_FILE_EXISTS, nullptr},
        {L"APPS\\TOOL\\SETUP.EXE", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, nullptr},
        {L"APPS\\TOOL\\SETUP.EXE", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, "Apps/tool/setup.exe"},
        {L"APPS\\TOOL\\Fresh.txt", CREATE_NEW, true, ERROR_SUCCESS, "Apps/tool/Fresh.txt"},
        {L"APPS\\NOPE\\Fresh.txt", CREATE_NEW, false, ERROR_PATH_NOT_FOUND, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvtest::Narrow(c.pszPath));
        HANDLE h = CreateFileW(drive.Win(c.pszPath).c_str(), GENERIC_WRITE, 0, nullptr, c.dwDisposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(static_cast<DWORD>(c.dwError), GetLastError());
        ASSERT_EQ(c.bOpens, h != INVALID_HANDLE_VALUE);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        DWORD dwWritten = 0;
        if (c.pszHostName) {
            EXPECT_TRUE(WriteFile(h, "new", 3, &dwWritten, nullptr));
        }
        CloseHandle(h);
        if (c.pszHostName) {
            EXPECT_EQ("new", kvtest::ReadBytes(drive.Native() / c.pszHostName));
        }
    }
    std::vector<std::string> vecNames;
    for (const auto& e : std::filesystem::directory_iterator(drive.Native() / "Apps/tool"))
        vecNames.push_back(e.path().filename().string());
    std::sort(vecNames.begin(), vecNames.end());
    EXPECT_EQ((std::vector<std::string>{"Fresh.txt", "setup.exe"}), vecNames);
}

} // namespace
