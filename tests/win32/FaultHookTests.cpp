// The fault seam: failing opens, failing and shortening reads.
#include <kvwin32.h>
#include <shlwapi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "FaultScope.h"
#include "TestSupport.h"

#include <functional>
#include <string>
#include <vector>

using kvtest::TestDrive;

namespace {

using CHookGuard = kvtest::FaultScope;

HANDLE OpenRead(const std::wstring& strPath)
{
    return CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::string Bytes(std::size_t cb)
{
    std::string s(cb, '\0');
    for (std::size_t i = 0; i < cb; ++i)
        s[i] = static_cast<char>(i % 253);
    return s;
}

TEST(FaultHook, SharingViolationOnAnExistingFile)
{
    TestDrive drive;
    drive.Write(L"locked.bin", "data");
    drive.Write(L"free.bin", "data");
    const std::wstring strLocked = drive.Win(L"locked.bin");
    std::vector<kvwin32::Call> vecCalls;
    CHookGuard guard([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
        vecCalls.push_back(ctx.eCall);
        if (ctx.eCall == kvwin32::Call::CreateFile && ctx.pszPath == strLocked) {
            *pdwError = ERROR_SHARING_VIOLATION;
            return FALSE;
        }
        return TRUE;
    });

    EXPECT_TRUE(PathFileExistsW(strLocked.c_str()));
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenRead(strLocked));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    HANDLE h = OpenRead(drive.Win(L"free.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    char buf[8];
    DWORD dwRead = 0;
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &dwRead, nullptr));
    EXPECT_EQ(4u, dwRead);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ((std::vector<kvwin32::Call>{kvwin32::Call::PathFileExistsW, kvwin32::Call::CreateFile,
                                          kvwin32::Call::CreateFile, kvwin32::Call::ReadFile}),
              vecCalls);
}

TEST(FaultHook, TheErrorIsWhatTheHookLeaves)
{
    TestDrive drive;
    drive.Write(L"f.bin", "x");
    {
        CHookGuard guard([](const kvwin32::FaultContext&, DWORD*) { return FALSE; });
        EXPECT_EQ(INVALID_HANDLE_VALUE, OpenRead(drive.Win(L"f.bin")));
        EXPECT_EQ(ERROR_GEN_FAILURE, GetLastError()); // never a silent 0 by default
    }
    {
        // A failure reported with 0, for testing callers that must not take it for success.
        CHookGuard guard([](const kvwin32::FaultContext&, DWORD* pdwError) {
            *pdwError = ERROR_SUCCESS;
            return FALSE;
        });
        SetLastError(ERROR_ACCESS_DENIED);
        EXPECT_EQ(INVALID_HANDLE_VALUE, OpenRead(drive.Win(L"f.bin")));
        EXPECT_EQ(ERROR_SUCCESS, GetLastError());
    }
    HANDLE h = OpenRead(drive.Win(L"f.bin")); // hook gone: opens again
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(FaultHook, ReadFailsAfterNBytes)
{
    TestDrive drive;
    const std::string bytes = Bytes(40000);
    drive.Write(L"bad.bin", bytes);
    const unsigned long long qwFailAt = 20000;
    CHookGuard guard([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
        if (ctx.eCall != kvwin32::Call::ReadFile)
            return TRUE;
        if (ctx.qwOffset >= qwFailAt) {
            *pdwError = ERROR_READ_FAULT;
            return FALSE;
        }
        if (ctx.qwOffset + *ctx.pdwToRead > qwFailAt)
            *ctx.pdwToRead = static_cast<DWORD>(qwFailAt - ctx.qwOffset);
        return TRUE;
    });

    HANDLE h = OpenRead(drive.Win(L"bad.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::vector<char> buf(16384);
    std::string got;
    DWORD dwRead = 0;
    ASSERT_TRUE(ReadFile(h, buf.data(), 16384, &dwRead, nullptr));
    EXPECT_EQ(16384u, dwRead);
    got.append(buf.data(), dwRead);
    ASSERT_TRUE(ReadFile(h, buf.data(), 16384, &dwRead, nullptr));
    EXPECT_EQ(20000u - 16384u, dwRead);
    got.append(buf.data(), dwRead);
    dwRead = 555;
    EXPECT_FALSE(ReadFile(h, buf.data(), 16384, &dwRead, nullptr));
    EXPECT_EQ(ERROR_READ_FAULT, GetLastError());
    EXPECT_EQ(0u, dwRead);
    EXPECT_EQ(bytes.substr(0, 20000), got);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(FaultHook, ShortenedReadsSeeTheirOffsetsAndPath)
{
    TestDrive drive;
    const std::string bytes = Bytes(20);
    drive.Write(L"short.bin", bytes);
    const std::wstring strPath = drive.Win(L"short.bin");
    std::vector<unsigned long long> vecOffsets;
    std::wstring strSeenPath;
    CHookGuard guard([&](const kvwin32::FaultContext& ctx, DWORD*) {
        if (ctx.eCall == kvwin32::Call::ReadFile) {
            vecOffsets.push_back(ctx.qwOffset);
            strSeenPath = ctx.pszPath;
            if (*ctx.pdwToRead > 7)
                *ctx.pdwToRead = 7;
        }
        return TRUE;
    });

    HANDLE h = OpenRead(strPath);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::string got;
    std::vector<DWORD> vecCounts;
    for (;;) {
        char buf[64];
        DWORD dwRead = 0;
        ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &dwRead, nullptr));
        vecCounts.push_back(dwRead);
        if (dwRead == 0)
            break;
        got.append(buf, dwRead);
    }
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ((std::vector<DWORD>{7, 7, 6, 0}), vecCounts);
    EXPECT_EQ((std::vector<unsigned long long>{0, 7, 14, 20}), vecOffsets);
    EXPECT_EQ(bytes, got);
    EXPECT_EQ(strPath, strSeenPath);
}

} // namespace

// Every call the seam covers fails as the real call fails, with the hook's
// error, and is seen with the path it was given.
TEST(FaultHook, EachCallFailsTheWayItFailsOnWindows)
{
    TestDrive drive;
    drive.Write(L"dir\\f.bin", "data");
    const std::wstring strDir = drive.Win(L"dir"), strFile = drive.Win(L"dir\\f.bin");
    const std::wstring strPattern = strDir + L"\\*.*";
    struct Case {
        kvwin32::Call eCall;
        std::wstring strSeen;        // the path the hook is given
        std::function<bool()> fails; // makes the call; true when it gave its failure value
    };
    const Case cases[] = {
        {kvwin32::Call::FindFirstFileW, strPattern,
         [&] {
             WIN32_FIND_DATAW data;
             return FindFirstFileW(strPattern.c_str(), &data) == INVALID_HANDLE_VALUE;
         }},
        {kvwin32::Call::GetFileAttributesW, strFile,
         [&] { return GetFileAttributesW(strFile.c_str()) == INVALID_FILE_ATTRIBUTES; }},
        {kvwin32::Call::PathFileExistsW, strFile, [&] { return !PathFileExistsW(strFile.c_str()); }},
        {kvwin32::Call::GetFileInformationByHandle, strDir,
         [&] {
             HANDLE h = CreateFileW(strDir.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
             EXPECT_NE(INVALID_HANDLE_VALUE, h);
             BY_HANDLE_FILE_INFORMATION info;
             const bool bFailed = !GetFileInformationByHandle(h, &info);
             const DWORD dwError = GetLastError();
             CloseHandle(h);
             SetLastError(dwError);
             return bFailed;
         }},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> vecSeen;
        {
            CHookGuard guard([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
                if (ctx.eCall != c.eCall)
                    return TRUE;
                vecSeen.push_back(ctx.pszPath);
                *pdwError = ERROR_NOT_READY;
                return FALSE;
            });
            SetLastError(ERROR_SUCCESS);
            EXPECT_TRUE(c.fails()) << static_cast<int>(c.eCall);
            EXPECT_EQ(ERROR_NOT_READY, GetLastError()) << static_cast<int>(c.eCall);
        }
        EXPECT_EQ(std::vector<std::wstring>{c.strSeen}, vecSeen) << static_cast<int>(c.eCall);
        EXPECT_FALSE(c.fails()) << "hook gone: " << static_cast<int>(c.eCall);
    }
}

// A listing can be broken off after any entry; the search stays usable and
// gives the rest when asked again.
TEST(FaultHook, FindNextFileFailsAfterNEntries)
{
    TestDrive drive;
    for (const wchar_t* psz : {L"L\\a", L"L\\b", L"L\\c"})
        drive.Write(psz, "x");
    const std::wstring strPattern = drive.Win(L"L\\*.*");
    std::vector<unsigned long long> vecOffsets;
    bool bFail = true;
    CHookGuard guard([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
        if (ctx.eCall != kvwin32::Call::FindNextFileW)
            return TRUE;
        EXPECT_EQ(strPattern, ctx.pszPath);
        vecOffsets.push_back(ctx.qwOffset);
        if (bFail && ctx.qwOffset == 3) {
            *pdwError = ERROR_NETNAME_DELETED;
            return FALSE;
        }
        return TRUE;
    });

    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(strPattern.c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::vector<std::wstring> vecNames{data.cFileName};
    while (FindNextFileW(h, &data))
        vecNames.push_back(data.cFileName);
    EXPECT_EQ(ERROR_NETNAME_DELETED, GetLastError());
    EXPECT_EQ(3u, vecNames.size()) << "\".\", \"..\" and one file before the failure";
    bFail = false;
    while (FindNextFileW(h, &data))
        vecNames.push_back(data.cFileName);
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_TRUE(FindClose(h));
    EXPECT_EQ(5u, vecNames.size());
    EXPECT_EQ((std::vector<unsigned long long>{1, 2, 3, 3, 4, 5}), vecOffsets);
}
