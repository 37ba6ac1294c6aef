// The checksum against files that another handle holds open: it opens for
// reading and shares reading only, so it is refused a file held without read
// sharing or open for writing, and gives 0xFFFFFFFF for it. Windows file
// sharing is Windows' own: these cases run only there (or under Wine).
#if defined(_WIN32)

#include "TestSupport.h"
#include "checksum/CRCHelper.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const DWORD CRC_UNREADABLE = 0xFFFFFFFF;
const DWORD CRC_OF_ABC = 0x736FDBF8; // "abc" and 16,381 zero bytes

DWORD FileChecksum(const std::wstring& strPath)
{
    return CCRCHelper().ComputeFileCRC(&kvcrc::NO_READ_REPORTS, strPath.c_str());
}

// A handle of another opener, closed at the end of the case.
class CHeldFile {
  public:
    CHeldFile(const std::wstring& strPath, DWORD dwAccess, DWORD dwShare)
        : m_h(CreateFileW(strPath.c_str(), dwAccess, dwShare, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~CHeldFile()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    CHeldFile(const CHeldFile&) = delete;
    CHeldFile& operator=(const CHeldFile&) = delete;
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }

  private:
    HANDLE m_h;
};

struct HolderCase {
    const char* pszName;
    DWORD dwAccess;
    DWORD dwShare;
    DWORD dwExpected;
};

const HolderCase g_holders[] = {
    {"ReadNoSharing", GENERIC_READ, 0, CRC_UNREADABLE},
    {"ReadWriteNoSharing", GENERIC_READ | GENERIC_WRITE, 0, CRC_UNREADABLE},
    {"WriteSharingAll", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CRC_UNREADABLE},
    {"ReadSharingWriteOnly", GENERIC_READ, FILE_SHARE_WRITE, CRC_UNREADABLE},
    {"ReadSharingRead", GENERIC_READ, FILE_SHARE_READ, CRC_OF_ABC},
    {"ReadSharingAll", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, CRC_OF_ABC},
};

class ChecksumOfHeldFile : public testing::TestWithParam<HolderCase> {};

TEST_P(ChecksumOfHeldFile, FollowsTheSharingOfTheOtherHandle)
{
    const HolderCase& c = GetParam();
    kvtest::TestDrive drive;
    drive.Write(L"held.bin", "abc");
    const std::wstring strPath = drive.Win(L"held.bin");

    {
        CHeldFile held(strPath, c.dwAccess, c.dwShare);
        ASSERT_TRUE(held.IsOpen()) << "error " << GetLastError();
        EXPECT_EQ(c.dwExpected, FileChecksum(strPath));
    }
    // Once the other handle is closed the same file checksums normally.
    EXPECT_EQ(CRC_OF_ABC, FileChecksum(strPath));
}

INSTANTIATE_TEST_SUITE_P(Holders, ChecksumOfHeldFile, testing::ValuesIn(g_holders),
                         [](const testing::TestParamInfo<HolderCase>& info) {
                             return std::string(info.param.pszName);
                         });

} // namespace

#endif
