// GetFileInformationByHandle: what names a file whatever path reached it.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <filesystem>
#include <string>

using kvtest::TestDrive;

namespace {

namespace fs = std::filesystem;

struct Identity {
    DWORD dwVolume, dwHigh, dwLow;
    bool operator==(const Identity& o) const
    {
        return dwVolume == o.dwVolume && dwHigh == o.dwHigh && dwLow == o.dwLow;
    }
};

// The information of a file or folder opened for its attributes only.
BY_HANDLE_FILE_INFORMATION InfoOf(const std::wstring& strPath)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    HANDLE h = CreateFileW(strPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h) << kvtest::Narrow(strPath);
    if (h == INVALID_HANDLE_VALUE)
        return info;
    EXPECT_TRUE(GetFileInformationByHandle(h, &info));
    EXPECT_TRUE(CloseHandle(h));
    return info;
}

Identity IdOf(const std::wstring& strPath)
{
    const BY_HANDLE_FILE_INFORMATION info = InfoOf(strPath);
    return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

TEST(FileIdentity, SameThingThroughEveryPathDifferentThingsDiffer)
{
    TestDrive drive;
    drive.Write(L"top\\sub\\f.bin", "12345");
    drive.Write(L"top\\g.bin", "1");
    fs::create_directory_symlink(drive.Native(L"top"), drive.Native(L"top\\sub\\up"));
    fs::create_directory_symlink(".", drive.Native(L"top\\self"));
    fs::create_hard_link(drive.Native(L"top\\g.bin"), drive.Native(L"top\\h.bin"));

    const Identity top = IdOf(drive.Win(L"top"));
    EXPECT_EQ(top, IdOf(drive.Win(L"top\\")));
    EXPECT_EQ(top, IdOf(drive.Win(L"top\\sub\\up")));
    EXPECT_EQ(top, IdOf(drive.Win(L"top\\self")));
    EXPECT_EQ(top, IdOf(drive.Win(L"top\\sub\\up\\self\\sub\\..")));
    EXPECT_EQ(top, IdOf(L"\\\\?\\" + drive.Win(L"top")));
    EXPECT_EQ(IdOf(drive.Win(L"top\\g.bin")), IdOf(drive.Win(L"top\\h.bin")));

    const Identity sub = IdOf(drive.Win(L"top\\sub"));
    const Identity file = IdOf(drive.Win(L"top\\sub\\f.bin"));
    EXPECT_FALSE(top == sub);
    EXPECT_FALSE(sub == file);
    EXPECT_FALSE(file == IdOf(drive.Win(L"top\\g.bin")));
    EXPECT_EQ(top.dwVolume, file.dwVolume) << "one file system, one serial";
    EXPECT_FALSE(top.dwHigh == 0 && top.dwLow == 0);
}

TEST(FileIdentity, DetailsAreThoseOfWhatTheHandleReached)
{
    TestDrive drive;
    drive.Write(L"d\\.hidden", "abc");
    drive.Write(L"d\\two.bin", std::string(70000, 'x'));
    fs::create_hard_link(drive.Native(L"d\\two.bin"), drive.Native(L"d\\two-again.bin"));
    drive.MakeDir(L"d\\a\\b");
    fs::create_directory_symlink(drive.Native(L"d\\a"), drive.Native(L"d\\link"));

    struct Case {
        const wchar_t* pszRel;
        DWORD dwAttributes;
        ULONGLONG qwSize;
        DWORD nLinks;
    };
    const Case cases[] = {
        {L"d\\.hidden", FILE_ATTRIBUTE_HIDDEN, 3, 1},
        {L"d\\two.bin", FILE_ATTRIBUTE_NORMAL, 70000, 2},
        // Windows counts one link for a folder, however many sub-folders it has.
        {L"d\\a", FILE_ATTRIBUTE_DIRECTORY, 0, 1},
        // Opened through a link, the handle is the folder it leads to.
        {L"d\\link", FILE_ATTRIBUTE_DIRECTORY, 0, 1},
    };
    for (const Case& c : cases) {
        const BY_HANDLE_FILE_INFORMATION info = InfoOf(drive.Win(c.pszRel));
        EXPECT_EQ(c.dwAttributes, info.dwFileAttributes) << kvtest::Narrow(c.pszRel);
        EXPECT_EQ(c.qwSize, (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow)
            << kvtest::Narrow(c.pszRel);
        EXPECT_EQ(c.nLinks, info.nNumberOfLinks) << kvtest::Narrow(c.pszRel);
        EXPECT_NE(0u, info.ftLastWriteTime.dwHighDateTime) << kvtest::Narrow(c.pszRel);
    }
}

TEST(FileIdentity, BadHandlesAndArguments)
{
    BY_HANDLE_FILE_INFORMATION info;
    EXPECT_FALSE(GetFileInformationByHandle(INVALID_HANDLE_VALUE, &info));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    TestDrive drive;
    drive.Write(L"f", "x");
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW(drive.Win(L"*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFind);
    EXPECT_FALSE(GetFileInformationByHandle(hFind, &info)) << "a search is no file";
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_TRUE(FindClose(hFind));
    HANDLE h = CreateFileW(drive.Win(L"f").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(GetFileInformationByHandle(h, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_TRUE(CloseHandle(h));
}

} // namespace
