// The file checksum on real files: its values against a model written here
// from the definition, the reads it makes, and (revision 1.1) the progress
// it feeds.
#include "checksum/CRCHelper.h"

#include "Korvane.h"
#include "Progress.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <cstdlib>
#include <unistd.h>
#endif

namespace {

const size_t BLOCK = 16384;
const DWORD NO_CHECKSUM = 0xFFFFFFFF;
const DWORD ZERO_BLOCK_CRC = 0x614B2AD5;

std::string Hex(DWORD dw)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "0x%08X", static_cast<unsigned>(dw));
    return sz;
}
#define EXPECT_CRC(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))

// ---------------------------------------------------------------------------
// The model: CRC-32/BZIP2 a bit at a time over each zero-padded 16 KiB
// block, the blocks summed, one more block for the read that finds the end.

DWORD ModelBlockCrc(const char* pData, size_t cbData)
{
    std::uint32_t r = 0xFFFFFFFF;
    for (size_t i = 0; i < BLOCK; ++i) {
        const std::uint32_t b = i < cbData ? static_cast<unsigned char>(pData[i]) : 0u;
        r ^= b << 24;
        for (int k = 0; k < 8; ++k)
            r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    }
    return r ^ 0xFFFFFFFF;
}

DWORD ModelChecksum(const std::string& bytes)
{
    std::uint32_t sum = 0;
    size_t off = 0;
    for (;;) {
        const size_t cb = std::min(BLOCK, bytes.size() - off);
        sum += ModelBlockCrc(bytes.data() + off, cb);
        off += cb;
        if (cb < BLOCK)
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

#if KORVANE_REVISION >= 11
// ---------------------------------------------------------------------------
// A verifier whose progress accounting the test watches through its host
// callback. In read-by-read mode the total starts at 1 MiB and the callback
// pulls the last reported count back to 0, so every CBProgress call reports,
// and the byte count of each read is the growth of the total.
class CProgressProbe : public CKorvane {
  public:
    enum EMode { HOST, READ_BY_READ };
    struct Report {
        DWORD dwMiB;
        __int64 llBytesDone; // the total when the report came
    };

    explicit CProgressProbe(EMode eMode = HOST, DWORD dwAnswer = CRCVERIF_ANSWER_SKIP)
        : m_eMode(eMode), m_dwAnswer(dwAnswer)
    {
        m_dwFileCount = 0;
        m_llBytesDone = eMode == READ_BY_READ ? PRELOAD : 0;
        m_llLastTotal = m_llBytesDone;
        m_dwLastMiB = 0;
        m_bAbortVerif = FALSE;
        m_lpCB = &CProgressProbe::Callback;
        m_lpUserParam = this;
    }
    void Mute() { m_lpCB = nullptr; }

    std::vector<Report> reports;
    std::vector<DWORD> reads;

    __int64 BytesDone() const { return m_llBytesDone; }
    DWORD LastMiB() const { return m_dwLastMiB; }
    bool AbortRaised() const { return m_bAbortVerif != FALSE; }

    static const __int64 PRELOAD = 0x100000;

  private:
    static DWORD CALLBACK Callback(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3)
    {
        CProgressProbe* pSelf = static_cast<CProgressProbe*>(pParam3);
        EXPECT_EQ(static_cast<UINT>(CRCVERIF_PROGRESS), uiCmd);
        EXPECT_EQ(nullptr, pParam1);
        pSelf->reports.push_back({dwParam2, pSelf->m_llBytesDone});
        if (pSelf->m_eMode == READ_BY_READ) {
            pSelf->reads.push_back(static_cast<DWORD>(pSelf->m_llBytesDone - pSelf->m_llLastTotal));
            pSelf->m_llLastTotal = pSelf->m_llBytesDone;
            pSelf->m_dwLastMiB = 0;
        }
        return pSelf->m_dwAnswer;
    }

    EMode m_eMode;
    DWORD m_dwAnswer;
    __int64 m_llLastTotal = 0;
};

// The checksum with every read fed to the probe's progress accounting.
DWORD ProbedCrc(CProgressProbe& probe, const std::wstring& strPath)
{
    const kvcrc::ReadSink sink = korvane::ProgressSink(probe);
    return CCRCHelper().ComputeFileCRC(&sink, strPath.c_str());
}
#endif

// The checksum of a file, nothing followed while it is read.
DWORD FileCrc(const std::wstring& strPath, BOOL* pbComplete = nullptr)
{
    return CCRCHelper().ComputeFileCRC(&kvcrc::NO_READ_REPORTS, strPath.c_str(), pbComplete);
}

// ---------------------------------------------------------------------------
// Values.

TEST(ChecksumFile, KnownValues)
{
    kvtest::TestDrive drive;
    const struct {
        const wchar_t* pszName;
        std::string bytes;
        DWORD dwExpected;
    } cases[] = {
        {L"empty.bin", "", 0x614B2AD5},
        {L"zeros16k.bin", std::string(BLOCK, '\0'), 0xC29655AA},
        {L"abc.txt", "abc", 0x736FDBF8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(kvtest::Narrow(c.pszName));
        drive.Write(c.pszName, c.bytes);
        EXPECT_CRC(c.dwExpected, ModelChecksum(c.bytes)); // the model agrees with the known values
        EXPECT_CRC(c.dwExpected, FileCrc(drive.Win(c.pszName)));
    }
}

TEST(ChecksumFile, SizesAroundBlockMultiplesMatchTheModel)
{
    kvtest::TestDrive drive;
    const size_t aSizes[] = {1, 2, 4, 15, 16383, 16384, 16385, 32767, 32768, 32769, 49152 + 4097, 200000};
    for (size_t cb : aSizes) {
        SCOPED_TRACE("size " + std::to_string(cb));
        const std::string bytes = RandomBytes(cb, static_cast<unsigned>(cb));
        const std::wstring strName = L"f" + std::to_wstring(cb) + L".bin";
        drive.Write(strName, bytes);
        EXPECT_CRC(ModelChecksum(bytes), FileCrc(drive.Win(strName)));
    }
}

TEST(ChecksumFile, SameBytesSameChecksumWhateverTheName)
{
    kvtest::TestDrive drive;
    const std::string bytes = RandomBytes(70000, 5);
    drive.Write(L"a.bin", bytes);
    drive.Write(L"sub\\other name.DAT", bytes);
    drive.Write(L"sub\\\u00e9t\u00e9 \u65e5\u672c.bin", bytes);
    const DWORD dwA = FileCrc(drive.Win(L"a.bin"));
    EXPECT_CRC(ModelChecksum(bytes), dwA);
    EXPECT_CRC(dwA, FileCrc(drive.Win(L"sub\\other name.DAT")));
    EXPECT_CRC(dwA, FileCrc(drive.Win(L"sub\\\u00e9t\u00e9 \u65e5\u672c.bin")));
}

TEST(ChecksumFile, ReadOnlyFileIsRead)
{
    // What a disc holds: the file is opened for reading only.
    kvtest::TestDrive drive;
    drive.Write(L"ro.bin", "abc");
    std::filesystem::permissions(drive.Native(L"ro.bin"), std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::group_read |
                                                              std::filesystem::perms::others_read);
    EXPECT_CRC(0x736FDBF8, FileCrc(drive.Win(L"ro.bin")));
}

TEST(ChecksumFile, UnopenableGivesNoChecksum)
{
    kvtest::TestDrive drive;
    drive.MakeDir(L"folder");
    EXPECT_CRC(NO_CHECKSUM, FileCrc(drive.Win(L"missing.bin")));
    EXPECT_CRC(NO_CHECKSUM, FileCrc(drive.Win(L"no such folder\\file.bin")));
    EXPECT_CRC(NO_CHECKSUM, FileCrc(drive.Win(L"folder")));
}

TEST(ChecksumFile, CompletenessTellsAReadFileFromAnUnopenedOne)
{
    kvtest::TestDrive drive;
    drive.Write(L"empty.bin", "");
    drive.Write(L"full.bin", std::string(2 * BLOCK, 'x'));
    BOOL bComplete = FALSE;
    EXPECT_CRC(ZERO_BLOCK_CRC, FileCrc(drive.Win(L"empty.bin"), &bComplete));
    EXPECT_TRUE(bComplete);
    bComplete = FALSE;
    FileCrc(drive.Win(L"full.bin"), &bComplete);
    EXPECT_TRUE(bComplete);
    // Set beforehand, so that only an explicit FALSE passes.
    bComplete = TRUE;
    EXPECT_CRC(NO_CHECKSUM, FileCrc(drive.Win(L"missing.bin"), &bComplete));
    EXPECT_FALSE(bComplete);
    // No sink: no checksum, the file not even opened.
    bComplete = TRUE;
    EXPECT_CRC(NO_CHECKSUM, CCRCHelper().ComputeFileCRC(nullptr, drive.Win(L"full.bin").c_str(), &bComplete));
    EXPECT_FALSE(bComplete);
}

// ---------------------------------------------------------------------------
// A large file, sparse where the file system allows it: a few marked blocks
// in 1 GiB of zeros. The model computes the zero block once.

#if !defined(_WIN32)
// Reading 1 GiB of holes from a disk file system fills the page cache page
// by page, which takes many seconds on some machines; tmpfs reads its holes
// without allocating anything. So the drive of this test goes there when it
// can.
class CScopedTempRoot {
  public:
    CScopedTempRoot()
    {
        std::error_code ec;
        if (!std::filesystem::is_directory("/dev/shm", ec) || access("/dev/shm", W_OK) != 0)
            return;
        if (const char* psz = std::getenv("TMPDIR")) {
            m_strOld = psz;
            m_bHadOld = true;
        }
        setenv("TMPDIR", "/dev/shm", 1);
        m_bSet = true;
    }
    ~CScopedTempRoot()
    {
        if (!m_bSet)
            return;
        if (m_bHadOld)
            setenv("TMPDIR", m_strOld.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    CScopedTempRoot(const CScopedTempRoot&) = delete;
    CScopedTempRoot& operator=(const CScopedTempRoot&) = delete;

  private:
    bool m_bSet = false;
    bool m_bHadOld = false;
    std::string m_strOld;
};
#endif

std::unique_ptr<kvtest::TestDrive> DriveForHoles()
{
#if !defined(_WIN32)
    CScopedTempRoot root;
#endif
    return std::make_unique<kvtest::TestDrive>();
}

TEST(ChecksumFile, OneGibibyteFile)
{
    const std::uint64_t qwSize = 1ull << 30;
    const std::map<std::uint64_t, char> markers = {
        {0, '\x80'},          {BLOCK - 1, '\x01'},  {BLOCK * 1000 + 5, 'K'}, {(qwSize / 2) - 1, '\x7F'},
        {qwSize / 2, '\xFF'}, {qwSize - 1, '\x55'},
    };
    const std::unique_ptr<kvtest::TestDrive> pDrive = DriveForHoles();
    const kvtest::TestDrive& drive = *pDrive;
    const std::filesystem::path native = drive.Native(L"big.bin");
    {
        std::ofstream f(native, std::ios::binary | std::ios::trunc);
        ASSERT_TRUE(f);
    }
    std::filesystem::resize_file(native, qwSize);
    {
        std::fstream f(native, std::ios::binary | std::ios::in | std::ios::out);
        for (const auto& m : markers) {
            f.seekp(static_cast<std::streamoff>(m.first));
            f.put(m.second);
        }
        ASSERT_TRUE(f);
    }
    ASSERT_EQ(qwSize, std::filesystem::file_size(native));

    // Every block not marked is all zeros, the extra 0-byte read's included.
    std::map<std::uint64_t, std::string> marked;
    for (const auto& m : markers) {
        std::string& block = marked[m.first / BLOCK];
        block.resize(BLOCK, '\0');
        block[m.first % BLOCK] = m.second;
    }
    const std::uint64_t qwBlocks = qwSize / BLOCK + 1;
    std::uint32_t expected = static_cast<std::uint32_t>((qwBlocks - marked.size()) * ZERO_BLOCK_CRC);
    for (const auto& b : marked)
        expected += ModelBlockCrc(b.second.data(), BLOCK);

#if KORVANE_REVISION >= 11
    CProgressProbe probe;
    EXPECT_CRC(expected, ProbedCrc(probe, drive.Win(L"big.bin")));
    // One report per MiB, each after the 64th block of its MiB.
    ASSERT_EQ(1024u, probe.reports.size());
    for (size_t i = 0; i < probe.reports.size(); ++i) {
        EXPECT_EQ(i + 1, probe.reports[i].dwMiB);
        EXPECT_EQ(static_cast<__int64>(i + 1) << 20, probe.reports[i].llBytesDone);
    }
    EXPECT_EQ(static_cast<__int64>(qwSize), probe.BytesDone());
#else
    EXPECT_CRC(expected, FileCrc(drive.Win(L"big.bin")));
#endif
}

#if KORVANE_REVISION >= 11
// ---------------------------------------------------------------------------
// Reads and progress (revision 1.1).

TEST(ChecksumProgress, ReadCountsAroundBlockMultiples)
{
    kvtest::TestDrive drive;
    const struct {
        size_t cbSize;
        std::vector<DWORD> reads;
    } cases[] = {
        {0, {0}},
        {1, {1}},
        {16383, {16383}},
        {16384, {16384, 0}},
        {16385, {16384, 1}},
        {32768, {16384, 16384, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.cbSize));
        const std::wstring strName = L"r" + std::to_wstring(c.cbSize);
        const std::string bytes = RandomBytes(c.cbSize, 3);
        drive.Write(strName, bytes);
        CProgressProbe probe(CProgressProbe::READ_BY_READ);
        EXPECT_CRC(ModelChecksum(bytes), ProbedCrc(probe, drive.Win(strName)));
        EXPECT_EQ(c.reads, probe.reads);
        EXPECT_EQ(CProgressProbe::PRELOAD + static_cast<__int64>(c.cbSize), probe.BytesDone());
    }
}

TEST(ChecksumProgress, MissingFileReportsNothing)
{
    kvtest::TestDrive drive;
    CProgressProbe probe(CProgressProbe::READ_BY_READ);
    EXPECT_CRC(NO_CHECKSUM, ProbedCrc(probe, drive.Win(L"missing.bin")));
    EXPECT_TRUE(probe.reads.empty());
    EXPECT_EQ(CProgressProbe::PRELOAD, probe.BytesDone());
}

TEST(ChecksumProgress, NoSinkGivesNoChecksum)
{
    kvtest::TestDrive drive;
    drive.Write(L"abc.txt", "abc");
    EXPECT_CRC(NO_CHECKSUM, CCRCHelper().ComputeFileCRC(nullptr, drive.Win(L"abc.txt").c_str()));
}

TEST(ChecksumProgress, OneMebibyteReportsOnceAfterTheLastFullBlock)
{
    kvtest::TestDrive drive;
    drive.Write(L"mib.bin", std::string(1 << 20, 'm'));
    CProgressProbe probe;
    ProbedCrc(probe, drive.Win(L"mib.bin"));
    ASSERT_EQ(1u, probe.reports.size());
    EXPECT_EQ(1u, probe.reports[0].dwMiB);
    // Block 64 brought the total to 1 MiB; the 65th read found the end.
    EXPECT_EQ(64 * 16384, probe.reports[0].llBytesDone);
    EXPECT_EQ(1 << 20, probe.BytesDone());
    EXPECT_EQ(1u, probe.LastMiB());
}

TEST(ChecksumProgress, TotalRunsOnAcrossFiles)
{
    kvtest::TestDrive drive;
    drive.Write(L"a.bin", std::string(600 * 1024, 'a'));
    drive.Write(L"b.bin", std::string(600 * 1024, 'b'));
    CProgressProbe probe;
    ProbedCrc(probe, drive.Win(L"a.bin"));
    EXPECT_TRUE(probe.reports.empty());
    ProbedCrc(probe, drive.Win(L"b.bin"));
    ASSERT_EQ(1u, probe.reports.size());
    EXPECT_EQ(1u, probe.reports[0].dwMiB);
    // 614,400 bytes from the first file; the second passes 1,048,576 with its
    // 27th block.
    EXPECT_EQ(614400 + 27 * 16384, probe.reports[0].llBytesDone);
    EXPECT_EQ(1228800, probe.BytesDone());
}

TEST(ChecksumProgress, AbortAnswerStillReadsTheWholeFile)
{
    kvtest::TestDrive drive;
    const std::string bytes = RandomBytes(3 * (1 << 20) + 1000, 17);
    drive.Write(L"abort.bin", bytes);
    CProgressProbe probe(CProgressProbe::HOST, CRCVERIF_ANSWER_ABORT);
    EXPECT_CRC(ModelChecksum(bytes), ProbedCrc(probe, drive.Win(L"abort.bin")));
    EXPECT_TRUE(probe.AbortRaised());
    ASSERT_EQ(3u, probe.reports.size());
    for (DWORD i = 0; i < 3; ++i)
        EXPECT_EQ(i + 1, probe.reports[i].dwMiB);
    EXPECT_EQ(static_cast<__int64>(bytes.size()), probe.BytesDone());
}

#endif

} // namespace
