// The file checksum when the file system misbehaves, through the fault
// seam: opens and reads that fail, reads cut short, and a read sink that
// throws.

#include "checksum/CRCHelper.h"

#include "TestSupport.h"
#include "FaultSeam.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const size_t BLOCK = 16384;

std::string Hex(DWORD dw)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "0x%08X", static_cast<unsigned>(dw));
    return sz;
}
#define EXPECT_CRC(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))

// The checksum from its definition: CRC-32/BZIP2 a bit at a time over each
// zero-padded block, plus the block of the read that finds the end.
DWORD ModelChecksum(const std::string& bytes)
{
    std::uint32_t sum = 0;
    for (size_t off = 0;; off += BLOCK) {
        std::uint32_t r = 0xFFFFFFFF;
        for (size_t i = 0; i < BLOCK; ++i) {
            const std::uint32_t b = off + i < bytes.size() ? static_cast<unsigned char>(bytes[off + i]) : 0u;
            r ^= b << 24;
            for (int k = 0; k < 8; ++k)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
        }
        sum += r ^ 0xFFFFFFFF;
        if (bytes.size() - off < BLOCK)
            return sum;
    }
}

std::string RandomBytes(size_t cb, unsigned uSeed)
{
    std::mt19937 rng(uSeed);
    std::string s(cb, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

// Watches every open and read, and fails or shortens the ones it is told to.
class CFaults {
  public:
    struct Seen {
        kvwin32::Call eCall;
        unsigned long long qwOffset;
    };
    CFaults() { kvwin32::SetFaultHook(&CFaults::Hook, this); }
    ~CFaults() { kvwin32::SetFaultHook(nullptr, nullptr); }
    CFaults(const CFaults&) = delete;
    CFaults& operator=(const CFaults&) = delete;

    DWORD dwOpenError = ERROR_SUCCESS;       // fail every open with this
    unsigned long long qwFailReadAt = ~0ull; // fail the read starting here
    DWORD dwReadError = ERROR_READ_FAULT;
    unsigned long long qwShortReadAt = ~0ull; // and cut the one here short
    DWORD dwShortRead = 0;
    std::vector<Seen> seen;

    size_t Count(kvwin32::Call eCall) const
    {
        size_t n = 0;
        for (const Seen& s : seen)
            n += s.eCall == eCall ? 1 : 0;
        return n;
    }

  private:
    static BOOL Hook(void* pContext, const kvwin32::FaultContext& ctx, DWORD* pdwError)
    {
        CFaults* pSelf = static_cast<CFaults*>(pContext);
        pSelf->seen.push_back({ctx.eCall, ctx.qwOffset});
        if (ctx.eCall == kvwin32::Call::CreateFile && pSelf->dwOpenError != ERROR_SUCCESS) {
            *pdwError = pSelf->dwOpenError;
            return FALSE;
        }
        if (ctx.eCall == kvwin32::Call::ReadFile) {
            if (ctx.qwOffset == pSelf->qwFailReadAt) {
                *pdwError = pSelf->dwReadError;
                return FALSE;
            }
            if (ctx.qwOffset == pSelf->qwShortReadAt)
                *ctx.pdwToRead = pSelf->dwShortRead;
        }
        return TRUE;
    }
};

// A sink that records every read's count, and throws when told to.
class CReadWatcher {
  public:
    std::vector<DWORD> reads;
    bool bThrow = false;

    const kvcrc::ReadSink* Sink() const { return &m_sink; }

  private:
    static void OnRead(void* pContext, DWORD dwRead)
    {
        CReadWatcher* pSelf = static_cast<CReadWatcher*>(pContext);
        pSelf->reads.push_back(dwRead);
        if (pSelf->bThrow)
            throw std::runtime_error("host gave up");
    }
    const kvcrc::ReadSink m_sink = {&CReadWatcher::OnRead, this};
};

DWORD FileCrc(CReadWatcher& watcher, const std::wstring& strPath, BOOL* pbComplete = nullptr)
{
    return CCRCHelper().ComputeFileCRC(watcher.Sink(), strPath.c_str(), pbComplete);
}

#if !defined(_WIN32)
// The process's open descriptors, from /proc (Linux only, so are the tests
// that count them).
size_t OpenDescriptors()
{
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        static_cast<void>(e);
        ++n;
    }
    return n;
}
#endif

TEST(ChecksumFault, ReadFailingPartWayEndsWithAZeroBlock)
{
    kvtest::TestDrive drive;
    const std::string bytes = RandomBytes(40000, 1);
    drive.Write(L"f.bin", bytes);
    CFaults faults;
    faults.qwFailReadAt = 2 * BLOCK;
    CReadWatcher watcher;
    BOOL bComplete = TRUE;
    // The two blocks read, then the failed read's all-zero block: the same
    // sum as a file that ended after 32 KiB; only the flag tells them apart.
    EXPECT_CRC(ModelChecksum(bytes.substr(0, 2 * BLOCK)), FileCrc(watcher, drive.Win(L"f.bin"), &bComplete));
    EXPECT_FALSE(bComplete);
    EXPECT_EQ(3u, faults.Count(kvwin32::Call::ReadFile));
    EXPECT_EQ((std::vector<DWORD>{16384, 16384, 0}), watcher.reads);
}

TEST(ChecksumFault, FirstReadFailing)
{
    kvtest::TestDrive drive;
    drive.Write(L"f.bin", RandomBytes(50000, 2));
    CFaults faults;
    faults.qwFailReadAt = 0;
    faults.dwReadError = ERROR_ACCESS_DENIED;
    CReadWatcher watcher;
    EXPECT_CRC(0x614B2AD5, FileCrc(watcher, drive.Win(L"f.bin")));
    EXPECT_EQ(1u, faults.Count(kvwin32::Call::ReadFile));
    EXPECT_EQ((std::vector<DWORD>{0}), watcher.reads);
}

TEST(ChecksumFault, ShortReadEndsTheLoop)
{
    // Only a full block goes on: a read cut to 100 bytes is taken as the end.
    kvtest::TestDrive drive;
    const std::string bytes = RandomBytes(5 * BLOCK, 3);
    drive.Write(L"f.bin", bytes);
    CFaults faults;
    faults.qwShortReadAt = BLOCK;
    faults.dwShortRead = 100;
    CReadWatcher watcher;
    BOOL bComplete = FALSE;
    EXPECT_CRC(ModelChecksum(bytes.substr(0, BLOCK + 100)),
               FileCrc(watcher, drive.Win(L"f.bin"), &bComplete));
    // A short count is no failed read.
    EXPECT_TRUE(bComplete);
    EXPECT_EQ(2u, faults.Count(kvwin32::Call::ReadFile));
    EXPECT_EQ((std::vector<DWORD>{16384, 100}), watcher.reads);
}

TEST(ChecksumFault, OpenFailingGivesNoChecksumAndNoRead)
{
    kvtest::TestDrive drive;
    drive.Write(L"f.bin", "abc");
    for (DWORD dwError :
         {static_cast<DWORD>(ERROR_ACCESS_DENIED), static_cast<DWORD>(ERROR_SHARING_VIOLATION)}) {
        SCOPED_TRACE(dwError);
        CFaults faults;
        faults.dwOpenError = dwError;
        CReadWatcher watcher;
        BOOL bComplete = TRUE;
        EXPECT_CRC(0xFFFFFFFF, FileCrc(watcher, drive.Win(L"f.bin"), &bComplete));
        EXPECT_FALSE(bComplete);
        EXPECT_EQ(1u, faults.Count(kvwin32::Call::CreateFile));
        EXPECT_EQ(0u, faults.Count(kvwin32::Call::ReadFile));
        EXPECT_TRUE(watcher.reads.empty());
    }
}

#if !defined(_WIN32)
TEST(ChecksumFault, EveryOpenedFileIsClosed)
{
    kvtest::TestDrive drive;
    drive.Write(L"f.bin", RandomBytes(3 * BLOCK + 7, 4));
    CReadWatcher watcher;
    const size_t nBefore = OpenDescriptors();
    for (int i = 0; i < 20; ++i)
        FileCrc(watcher, drive.Win(L"f.bin"));
    EXPECT_EQ(nBefore, OpenDescriptors());
}
#endif

TEST(ChecksumFault, NoSinkOpensNothing)
{
    kvtest::TestDrive drive;
    drive.Write(L"f.bin", "abc");
    CFaults faults;
    EXPECT_CRC(0xFFFFFFFF, CCRCHelper().ComputeFileCRC(nullptr, drive.Win(L"f.bin").c_str()));
    EXPECT_TRUE(faults.seen.empty());
}

#if !defined(_WIN32)
TEST(ChecksumFault, ThrowingCallbackLeavesNoFileOpen)
{
    kvtest::TestDrive drive;
    drive.Write(L"f.bin", RandomBytes(4 * BLOCK, 5));
    CReadWatcher watcher;
    watcher.bThrow = true;
    const size_t nBefore = OpenDescriptors();
    EXPECT_THROW(FileCrc(watcher, drive.Win(L"f.bin")), std::runtime_error);
    EXPECT_EQ(1u, watcher.reads.size());
    EXPECT_EQ(nBefore, OpenDescriptors());
}
#endif

} // namespace
