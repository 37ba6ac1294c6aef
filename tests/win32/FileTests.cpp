// File handles on real files: open, read to the end, write, close.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <set>
#include <thread>
#include <vector>

using kvtest::TestDrive;

namespace {

// While it lives, permissions bind this thread even when it runs as root:
// the capabilities that pass over them are out of its effective set.
class CPermissionsBind {
  public:
    CPermissionsBind()
    {
        if (syscall(SYS_capget, &m_header, m_aSaved) != 0)
            return;
        __user_cap_data_struct aBound[2] = {m_aSaved[0], m_aSaved[1]};
        aBound[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_bChanged = syscall(SYS_capset, &m_header, aBound) == 0;
    }
    ~CPermissionsBind()
    {
        if (m_bChanged)
            syscall(SYS_capset, &m_header, m_aSaved);
    }
    CPermissionsBind(const CPermissionsBind&) = delete;
    CPermissionsBind& operator=(const CPermissionsBind&) = delete;

  private:
    __user_cap_header_struct m_header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_aSaved[2] = {};
    bool m_bChanged = false;
};

HANDLE OpenRead(const std::wstring& strPath, DWORD dwFlags = 0)
{
    return CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, dwFlags,
                       nullptr);
}

HANDLE OpenWrite(const std::wstring& strPath, DWORD dwDisposition)
{
    return CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, dwDisposition, 0, nullptr);
}

std::string Pattern(std::size_t cb)
{
    std::string s(cb, '\0');
    for (std::size_t i = 0; i < cb; ++i)
        s[i] = static_cast<char>(i * 7 + i / 251);
    return s;
}

TEST(Files, ReadsToTheEndThenZeroBytes)
{
    TestDrive drive;
    drive.Write(L"five.bin", "hello");
    HANDLE h = OpenRead(drive.Win(L"five.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(ERROR_SUCCESS, GetLastError());

    std::vector<char> buf(16384, 'x');
    DWORD dwRead = 12345;
    ASSERT_TRUE(ReadFile(h, buf.data(), 16384, &dwRead, nullptr));
    EXPECT_EQ(5u, dwRead);
    EXPECT_EQ("hello", std::string(buf.data(), 5));
    EXPECT_EQ('x', buf[5]); // nothing written past what was read
    dwRead = 12345;
    EXPECT_TRUE(ReadFile(h, buf.data(), 16384, &dwRead, nullptr));
    EXPECT_EQ(0u, dwRead);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(Files, ExactBlockSizesComeBackWhole)
{
    TestDrive drive;
    struct Case {
        std::size_t cbFile;
        std::vector<DWORD> vecReads; // what successive 16 KiB requests return
    };
    const Case cases[] = {
        {0, {0}},
        {16384, {16384, 0}},
        {16385, {16384, 1, 0}},
        {32768, {16384, 16384, 0}},
    };
    for (const Case& c : cases) {
        const std::string bytes = Pattern(c.cbFile);
        drive.Write(L"block.bin", bytes);
        HANDLE h = OpenRead(drive.Win(L"block.bin"));
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        std::string got;
        for (DWORD dwExpected : c.vecReads) {
            std::vector<char> buf(16384);
            DWORD dwRead = 0;
            EXPECT_TRUE(ReadFile(h, buf.data(), 16384, &dwRead, nullptr));
            EXPECT_EQ(dwExpected, dwRead) << "file of " << c.cbFile;
            got.append(buf.data(), dwRead);
        }
        EXPECT_EQ(bytes, got);
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(Files, LargeRequestIsFilledInOneCall)
{
    TestDrive drive;
    const std::string bytes = Pattern(3 * 1024 * 1024 + 17);
    drive.Write(L"big.bin", bytes);
    HANDLE h = OpenRead(drive.Win(L"big.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::vector<char> buf(bytes.size() + 100);
    DWORD dwRead = 0;
    ASSERT_TRUE(ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &dwRead, nullptr));
    EXPECT_EQ(bytes.size(), dwRead);
    EXPECT_EQ(bytes, std::string(buf.data(), dwRead));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(Files, OpenFailuresSetTheError)
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
        {drive.Win(L"dir"), ERROR_ACCESS_DENIED}, // a folder holds no data
        {drive.Win(L""), ERROR_ACCESS_DENIED},    // nor does the drive
        {drive.Win(L"dir\\file.txt\\"), ERROR_PATH_NOT_FOUND},
        {L"relative\\file.txt", ERROR_PATH_NOT_FOUND},
        {L"", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(INVALID_HANDLE_VALUE, OpenRead(c.strPath)) << kvtest::Narrow(c.strPath);
        EXPECT_EQ(c.dwError, GetLastError()) << kvtest::Narrow(c.strPath);
    }
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_NE(ERROR_SUCCESS, GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(drive.Win(L"dir\\file.txt").c_str(), GENERIC_READ, 0, nullptr, 99, 0, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(Files, FolderOpensOnlyWithBackupSemantics)
{
    TestDrive drive;
    drive.MakeDir(L"dir");
    HANDLE h = OpenRead(drive.Win(L"dir"), FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    char c;
    DWORD dwRead = 7;
    EXPECT_FALSE(ReadFile(h, &c, 1, &dwRead, nullptr));
    EXPECT_EQ(ERROR_INVALID_FUNCTION, GetLastError());
    EXPECT_EQ(0u, dwRead);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(Files, UnreadableFileIsAccessDenied)
{
    TestDrive drive;
    drive.Write(L"locked.bin", "secret");
    ASSERT_EQ(0, chmod(drive.Native(L"locked.bin").c_str(), 0));
    const CPermissionsBind bind;
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenRead(drive.Win(L"locked.bin")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
}

TEST(Files, HandlesAreCheckedAndClosedOnce)
{
    TestDrive drive;
    drive.Write(L"f.bin", "abc");
    HANDLE h = OpenRead(drive.Win(L"f.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    ASSERT_NE(nullptr, h);
    EXPECT_TRUE(CloseHandle(h));

    // Closed, never opened, or of the wrong kind: all refused the same way.
    char c;
    DWORD dwRead = 9;
    EXPECT_FALSE(ReadFile(h, &c, 1, &dwRead, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(0u, dwRead);
    for (HANDLE hBad : {h, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(hBad));
        EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    }
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW(drive.Win(L"f.bin").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFind);
    EXPECT_FALSE(CloseHandle(hFind));
    EXPECT_TRUE(FindClose(hFind));
    HANDLE hFile = OpenRead(drive.Win(L"f.bin"));
    EXPECT_FALSE(FindClose(hFile));
    EXPECT_TRUE(CloseHandle(hFile));
}

TEST(Files, ReadFailureLeavesZeroBytes)
{
    TestDrive drive;
    drive.Write(L"f.bin", "abc");
    HANDLE h = OpenWrite(drive.Win(L"f.bin"), OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    char buf[4];
    DWORD dwRead = 77;
    EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &dwRead, nullptr)); // opened for writing only
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(0u, dwRead);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(Files, WriteDispositions)
{
    TestDrive drive;
    const std::wstring strPath = drive.Win(L"out.bin");
    DWORD dwWritten = 0;

    HANDLE h = OpenWrite(strPath, CREATE_NEW);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(ERROR_SUCCESS, GetLastError());
    EXPECT_TRUE(WriteFile(h, "first version", 13, &dwWritten, nullptr));
    EXPECT_EQ(13u, dwWritten);
    EXPECT_TRUE(CloseHandle(h));

    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenWrite(strPath, CREATE_NEW));
    EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());

    h = OpenWrite(strPath, CREATE_ALWAYS); // truncates, and says it was there
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_TRUE(WriteFile(h, "v2", 2, &dwWritten, nullptr));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ("v2", kvtest::ReadBytes(drive.Native(L"out.bin")));

    h = OpenWrite(drive.Win(L"new.bin"), CREATE_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(ERROR_SUCCESS, GetLastError());
    EXPECT_TRUE(CloseHandle(h));

    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenWrite(drive.Win(L"nodir\\x.bin"), CREATE_ALWAYS));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());

    h = OpenRead(strPath);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(WriteFile(h, "x", 1, &dwWritten, nullptr)); // opened for reading only
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ("v2", kvtest::ReadBytes(drive.Native(L"out.bin")));
}

TEST(Files, ConcurrentHandlesNeverCollide)
{
    TestDrive drive;
    drive.Write(L"shared.bin", "0123456789");
    const std::wstring strPath = drive.Win(L"shared.bin");
    constexpr int kThreads = 4, kOpen = 50;
    std::vector<std::vector<HANDLE>> vecHandles(kThreads);
    std::vector<int> vecBadReads(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kOpen; ++i) {
                HANDLE h = OpenRead(strPath);
                char buf[16];
                DWORD dwRead = 0;
                if (h == INVALID_HANDLE_VALUE || !ReadFile(h, buf, sizeof buf, &dwRead, nullptr) ||
                    dwRead != 10)
                    ++vecBadReads[t];
                vecHandles[t].push_back(h);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    std::set<HANDLE> setAll;
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(0, vecBadReads[t]);
        setAll.insert(vecHandles[t].begin(), vecHandles[t].end());
    }
    EXPECT_EQ(static_cast<std::size_t>(kThreads * kOpen), setAll.size());
    EXPECT_EQ(0u, setAll.count(INVALID_HANDLE_VALUE));
    for (HANDLE h : setAll)
        EXPECT_TRUE(CloseHandle(h));
}

} // namespace

TEST(Files, SizeIsTheSizeNowAndFoldersHaveNone)
{
    TestDrive drive;
    const std::string strBytes = Pattern(70000);
    drive.Write(L"sized.bin", strBytes);
    drive.Write(L"empty.bin", "");
    HANDLE h = OpenRead(drive.Win(L"sized.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    LARGE_INTEGER liSize;
    liSize.QuadPart = -1;
    ASSERT_TRUE(GetFileSizeEx(h, &liSize));
    EXPECT_EQ(70000, liSize.QuadPart);
    // Reading moves nothing; growing the file shows at once.
    std::vector<char> buf(1000);
    DWORD dwRead = 0;
    ASSERT_TRUE(ReadFile(h, buf.data(), 1000, &dwRead, nullptr));
    drive.Write(L"sized.bin", strBytes + strBytes);
    ASSERT_TRUE(GetFileSizeEx(h, &liSize));
    EXPECT_EQ(140000, liSize.QuadPart);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(GetFileSizeEx(h, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(CloseHandle(h));

    HANDLE hEmpty = OpenRead(drive.Win(L"empty.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, hEmpty);
    liSize.QuadPart = -1;
    ASSERT_TRUE(GetFileSizeEx(hEmpty, &liSize));
    EXPECT_EQ(0, liSize.QuadPart);
    EXPECT_TRUE(CloseHandle(hEmpty));

    HANDLE hFolder = OpenRead(drive.Win(L""), FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFolder);
    liSize.QuadPart = -1;
    ASSERT_TRUE(GetFileSizeEx(hFolder, &liSize));
    EXPECT_EQ(0, liSize.QuadPart);
    EXPECT_TRUE(CloseHandle(hFolder));

    // A closed handle, and one that never was.
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(GetFileSizeEx(h, &liSize));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(GetFileSizeEx(INVALID_HANDLE_VALUE, &liSize));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}
