// Where a read stops: the end of a file that grows or shrinks while open,
// positions after short reads, and devices that are not regular files.
#include <kvwin32.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using kvtest::TestDrive;

namespace {

HANDLE OpenRead(const std::wstring& strPath)
{
    return CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::string Pattern(std::size_t cb, int iSeed)
{
    std::string s(cb, '\0');
    for (std::size_t i = 0; i < cb; ++i)
        s[i] = static_cast<char>(i * 13 + iSeed);
    return s;
}

void Append(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// What one ReadFile of cbRequest gives; fails the test when the call fails.
std::string Read(HANDLE h, DWORD cbRequest)
{
    std::vector<char> buf(cbRequest + 1, '\x7f');
    DWORD dwRead = 0xdead;
    EXPECT_TRUE(ReadFile(h, buf.data(), cbRequest, &dwRead, nullptr));
    EXPECT_LE(dwRead, cbRequest);
    EXPECT_EQ('\x7f', buf[cbRequest]);
    return std::string(buf.data(), dwRead <= cbRequest ? dwRead : 0);
}

TEST(FileEnd, GrowingFileIsReadOnAfterItsEnd)
{
    TestDrive drive;
    const std::string first = Pattern(1024, 1), second = Pattern(3000, 2), third = Pattern(20000, 3);
    drive.Write(L"grow.bin", first);
    HANDLE h = OpenRead(drive.Win(L"grow.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(first, Read(h, 16384));
    EXPECT_EQ("", Read(h, 16384));

    Append(drive.Native(L"grow.bin"), second);
    EXPECT_EQ(second, Read(h, 16384)); // a read at the old end finds the new bytes
    EXPECT_EQ("", Read(h, 16384));

    Append(drive.Native(L"grow.bin"), third);
    EXPECT_EQ(third.substr(0, 16384), Read(h, 16384));
    EXPECT_EQ(third.substr(16384), Read(h, 16384));
    EXPECT_EQ("", Read(h, 16384));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(FileEnd, GrownBeforeTheFirstReadIsReadWhole)
{
    TestDrive drive;
    drive.Write(L"grow.bin", "12345");
    HANDLE h = OpenRead(drive.Win(L"grow.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    const std::string more = Pattern(40000, 4);
    Append(drive.Native(L"grow.bin"), more);
    const std::string whole = "12345" + more;
    std::string got = Read(h, 65536);
    EXPECT_EQ(whole, got); // larger than the file was when it opened, filled all the same
    EXPECT_EQ("", Read(h, 65536));
    EXPECT_TRUE(CloseHandle(h));

    // Empty when opened, written after.
    drive.Write(L"empty.bin", "");
    h = OpenRead(drive.Win(L"empty.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    Append(drive.Native(L"empty.bin"), more);
    EXPECT_EQ(more, Read(h, 65536));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(FileEnd, ShrunkFileEndsWhereItNowEnds)
{
    TestDrive drive;
    const std::string bytes = Pattern(5000, 5);
    drive.Write(L"shrink.bin", bytes);
    HANDLE h = OpenRead(drive.Win(L"shrink.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(bytes.substr(0, 100), Read(h, 100));
    std::filesystem::resize_file(drive.Native(L"shrink.bin"), 1000);
    EXPECT_EQ(bytes.substr(100, 900), Read(h, 16384));
    EXPECT_EQ("", Read(h, 16384));
    std::filesystem::resize_file(drive.Native(L"shrink.bin"), 10); // now behind the position
    EXPECT_EQ("", Read(h, 16384));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(FileEnd, SmallRequestsWalkTheFileExactly)
{
    TestDrive drive;
    const std::string bytes = Pattern(1024, 6);
    drive.Write(L"steps.bin", bytes);
    for (DWORD cbStep : {1u, 7u, 512u, 1000u, 1023u, 1024u, 1025u}) {
        HANDLE h = OpenRead(drive.Win(L"steps.bin"));
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        std::string got;
        for (int i = 0; i < 2000; ++i) {
            const std::string part = Read(h, cbStep);
            if (part.empty())
                break;
            // Every read but the last is whole.
            if (got.size() + part.size() < bytes.size()) {
                EXPECT_EQ(cbStep, part.size()) << "steps of " << cbStep;
            }
            got += part;
        }
        EXPECT_EQ(bytes, got) << "steps of " << cbStep;
        EXPECT_EQ("", Read(h, cbStep));
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(FileEnd, ShortenedReadsKeepThePosition)
{
    // A hook that caps every read at 300 bytes: each call stops there and the
    // next starts right after, also past where the file ended when opened.
    TestDrive drive;
    const std::string bytes = Pattern(1000, 7);
    drive.Write(L"capped.bin", bytes);
    std::vector<unsigned long long> vecOffsets;
    struct CCap {
        std::vector<unsigned long long>* pvec;
    } cap{&vecOffsets};
    kvwin32::SetFaultHook(
        [](void* pContext, const kvwin32::FaultContext& ctx, DWORD*) -> BOOL {
            if (ctx.eCall == kvwin32::Call::ReadFile) {
                static_cast<CCap*>(pContext)->pvec->push_back(ctx.qwOffset);
                if (*ctx.pdwToRead > 300)
                    *ctx.pdwToRead = 300;
            }
            return TRUE;
        },
        &cap);
    HANDLE h = OpenRead(drive.Win(L"capped.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(bytes.substr(0, 300), Read(h, 16384));
    EXPECT_EQ(bytes.substr(300, 300), Read(h, 16384));
    Append(drive.Native(L"capped.bin"), "tail");
    EXPECT_EQ(bytes.substr(600, 300), Read(h, 16384));
    EXPECT_EQ(bytes.substr(900) + "tail", Read(h, 16384));
    EXPECT_EQ("", Read(h, 16384));
    kvwin32::SetFaultHook(nullptr, nullptr);
    EXPECT_EQ((std::vector<unsigned long long>{0, 300, 600, 900, 1004}), vecOffsets);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(FileEnd, ReadAfterWriteOnTheSameHandle)
{
    TestDrive drive;
    drive.Write(L"rw.bin", "0123456789");
    HANDLE h = CreateFileW(drive.Win(L"rw.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ("0123", Read(h, 4));
    const std::string more = Pattern(200, 8);
    DWORD dwWritten = 0;
    EXPECT_TRUE(WriteFile(h, more.data(), static_cast<DWORD>(more.size()), &dwWritten, nullptr));
    EXPECT_EQ(more.size(), dwWritten);
    EXPECT_EQ("", Read(h, 16384)); // the write moved the position to the new end
    Append(drive.Native(L"rw.bin"), "xyz");
    EXPECT_EQ("xyz", Read(h, 16384));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ("0123" + more + "xyz", kvtest::ReadBytes(drive.Native(L"rw.bin")));
}

TEST(FileEnd, FilesOfTheHostsPseudoFileSystemsAreReadWhole)
{
    // /proc files claim a size of 0 and hand out their text a page at a
    // time; one request must still take it all. The buffer is there before
    // the open, so that reading does not change the map being read.
    std::vector<char> buf(1 << 22);
    HANDLE h = OpenRead(L"/proc/self/maps");
    if (h == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no /proc/self/maps";
    DWORD dwRead = 0;
    EXPECT_TRUE(ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &dwRead, nullptr));
    DWORD dwMore = 1;
    EXPECT_TRUE(ReadFile(h, buf.data() + dwRead, static_cast<DWORD>(buf.size() - dwRead), &dwMore, nullptr));
    EXPECT_TRUE(CloseHandle(h));
    if (dwRead <= 4096)
        GTEST_SKIP() << "the map fits in one page";
    EXPECT_EQ('\n', buf[dwRead - 1]);
    EXPECT_EQ(0u, dwMore);
}

} // namespace
