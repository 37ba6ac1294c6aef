// Only regular files read as files: a device, pipe or socket on the way of a
// name is refused at once, as Windows refuses to read a folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

using kvtest::TestDrive;

namespace {

// A listening-free socket bound at the path; closed with the test.
class CBoundSocket {
  public:
    explicit CBoundSocket(const std::string& strPath) : m_iFd(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (m_iFd >= 0 && strPath.size() < sizeof addr.sun_path) {
            std::memcpy(addr.sun_path, strPath.c_str(), strPath.size() + 1);
            m_bBound = ::bind(m_iFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        }
    }
    ~CBoundSocket()
    {
        if (m_iFd >= 0)
            ::close(m_iFd);
    }
    bool Bound() const { return m_bBound; }

  private:
    int m_iFd;
    bool m_bBound = false;
};

TEST(NonFiles, EachKindIsRefusedForReading)
{
    TestDrive drive(L'N');
    ASSERT_EQ(0, ::mkfifo(drive.Native(L"fifo").c_str(), 0644));
    // A FIFO with a writer waiting would still not be read: no writer here, so
    // a blocking open would hang the test.
    CBoundSocket sock(drive.Native(L"sock").string());
    ASSERT_TRUE(sock.Bound());
    std::filesystem::create_symlink("/dev/zero", drive.Native(L"zero"));
    std::filesystem::create_symlink("/dev/null", drive.Native(L"null"));

    struct Case {
        std::wstring strPath;
        DWORD dwAccess;
    };
    const Case cases[] = {
        {drive.Win(L"fifo"), GENERIC_READ},
        {drive.Win(L"FIFO"), GENERIC_READ}, // found under another case, refused all the same
        {drive.Win(L"fifo"), GENERIC_READ | GENERIC_WRITE},
        {drive.Win(L"fifo"), GENERIC_WRITE},
        {drive.Win(L"sock"), GENERIC_READ},
        {drive.Win(L"zero"), GENERIC_READ},
        {drive.Win(L"null"), GENERIC_READ | GENERIC_WRITE},
        {L"/dev/null", GENERIC_READ},
        {L"/dev/zero", GENERIC_READ},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvtest::Narrow(c.strPath));
        SetLastError(0);
        HANDLE h = CreateFileW(c.strPath.c_str(), c.dwAccess, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, h);
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        // Still an entry: a walk sees it and reports it unreadable.
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(c.strPath.c_str()));
    }

    // Opened for its attributes only, a device says what it is.
    HANDLE h = CreateFileW(drive.Win(L"zero").c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(static_cast<DWORD>(FILE_TYPE_CHAR), GetFileType(h));
    EXPECT_TRUE(CloseHandle(h));
    kvtest::WriteBytes(drive.Native(L"plain"), "x");
    h = CreateFileW(drive.Win(L"plain").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(static_cast<DWORD>(FILE_TYPE_DISK), GetFileType(h));
    EXPECT_TRUE(CloseHandle(h));
}

} // namespace
