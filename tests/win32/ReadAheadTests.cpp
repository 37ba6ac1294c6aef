// Reads of a regular file, which the layer serves from larger reads ahead,
// against plain reads of the same file: sizes around the block and the
// read-ahead, files that grow, shrink or change while read, and faults.
#include <kvwin32.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "FaultScope.h"
#include "TestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using kvtest::TestDrive;

namespace {

constexpr DWORD kBlock = 16384;
constexpr DWORD kAhead = 1024 * 1024;
// Requests this large are read straight into the caller's buffer.
constexpr DWORD kDirect = 256 * 1024;
// Longer than bytes read ahead are kept: a read after it sees the file as it is.
constexpr std::chrono::milliseconds kPastReadAhead(20);

std::string Pattern(std::size_t cb, int iSeed)
{
    std::string s(cb, '\0');
    for (std::size_t i = 0; i < cb; ++i)
        s[i] = static_cast<char>((i * 7 + i / 4093 + static_cast<std::size_t>(iSeed)) & 0xFF);
    return s;
}

HANDLE OpenRead(const std::wstring& strPath)
{
    return CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

// One ReadFile; fails the test when the call fails.
std::string Read(HANDLE h, DWORD cbRequest)
{
    std::string buf(cbRequest, '\0');
    DWORD dwRead = 0xdead;
    EXPECT_TRUE(ReadFile(h, &buf[0], cbRequest, &dwRead, nullptr));
    EXPECT_LE(dwRead, cbRequest);
    buf.resize(dwRead <= cbRequest ? dwRead : 0);
    return buf;
}

// Reads until a read gives nothing; the empty answer ends the list.
std::vector<std::string> ReadToEnd(HANDLE h, DWORD cbRequest)
{
    std::vector<std::string> vec;
    for (int i = 0; i < 100000; ++i) {
        vec.push_back(Read(h, cbRequest));
        if (vec.back().empty())
            break;
    }
    return vec;
}

// What plain reads of cbRequest give from qwFrom on, each filled unless
// the file ends: the answers the layer gives without reading ahead.
std::vector<std::string> PlainReads(const std::filesystem::path& path, DWORD cbRequest, off_t qwFrom = 0)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    std::vector<std::string> vec;
    off_t off = qwFrom;
    for (;;) {
        std::string buf(cbRequest, '\0');
        std::size_t cbDone = 0;
        while (cbDone < cbRequest) {
            const ssize_t cb =
                ::pread(fd, &buf[cbDone], cbRequest - cbDone, off + static_cast<off_t>(cbDone));
            if (cb <= 0)
                break;
            cbDone += static_cast<std::size_t>(cb);
        }
        buf.resize(cbDone);
        off += static_cast<off_t>(cbDone);
        vec.push_back(buf);
        if (cbDone == 0)
            break;
    }
    ::close(fd);
    return vec;
}

std::string Joined(const std::vector<std::string>& vec)
{
    std::string s;
    for (const std::string& part : vec)
        s += part;
    return s;
}

// "" when the answers agree, else where they first differ: the bytes
// themselves are too many to print.
std::string Difference(const std::string& expected, const std::string& actual)
{
    std::size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i])
        ++i;
    if (i == expected.size() && i == actual.size())
        return "";
    return "differ at byte " + std::to_string(i) + " of " + std::to_string(expected.size()) + " expected, " +
           std::to_string(actual.size()) + " read";
}

std::string Difference(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
{
    for (std::size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
        const std::string strPart = Difference(expected[i], actual[i]);
        if (!strPart.empty())
            return "read " + std::to_string(i) + ": " + strPart;
    }
    if (expected.size() != actual.size())
        return std::to_string(expected.size()) + " reads expected, " + std::to_string(actual.size()) +
               " made";
    return "";
}

// Every answer but the last two is whole, the last is empty: how a
// reader of whole blocks sees a file end.
void ExpectWholeUntilTheEnd(const std::vector<std::string>& vec, DWORD cbRequest, const std::string& strWhat)
{
    ASSERT_FALSE(vec.empty()) << strWhat;
    EXPECT_TRUE(vec.back().empty()) << strWhat;
    for (std::size_t i = 0; i + 2 < vec.size(); ++i)
        EXPECT_EQ(cbRequest, vec[i].size()) << strWhat << ", read " << i;
}

TEST(ReadAhead, AnswersAreThoseOfPlainReadsForEverySize)
{
    TestDrive drive;
    const std::size_t aSizes[] = {
        1, kBlock - 1, kBlock, kBlock + 1, 2 * kBlock, kAhead - 1, kAhead, kAhead + 1, kAhead + kBlock,
        kAhead + kBlock + 1, 3 * kAhead + 5, 4 * kAhead + kBlock - 1,
        // Pieces read on the layer's worker thread: ending inside one, at one's end.
        6 * kAhead + kBlock + 3, 8 * kAhead};
    // Whole blocks, smaller ones, ones that do not divide the read-ahead,
    // and ones of 256 KiB or more, which are read straight into the caller's buffer.
    const DWORD aRequests[] = {kBlock, 4096, 5000, 100000, kDirect - 1, kDirect, kAhead + 1};
    for (std::size_t cb : aSizes) {
        const std::wstring strName = L"f" + std::to_wstring(cb) + L".bin";
        drive.Write(strName, Pattern(cb, static_cast<int>(cb)));
        for (DWORD cbRequest : aRequests) {
            HANDLE h = OpenRead(drive.Win(strName));
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            EXPECT_EQ("", Difference(PlainReads(drive.Native(strName), cbRequest), ReadToEnd(h, cbRequest)))
                << cb << " bytes in reads of " << cbRequest;
            EXPECT_EQ("", Read(h, cbRequest)) << "the end stays the end";
            EXPECT_TRUE(CloseHandle(h));
        }
    }
}

// A file changed after cReadsBefore whole blocks were read.
struct CChangeCase {
    std::size_t cbFile;
    int cReadsBefore;
    std::size_t cbOther; // bytes appended, the new size, or bytes rewritten
};

void Append(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(ReadAhead, GrowthIsSeenAtOnce)
{
    // The end never comes from the buffer: bytes appended at any moment
    // are read as plain reads read them, however soon after.
    const CChangeCase aCases[] = {
        {kBlock * 3, 1, 10},           // appended within the first read-ahead
        {kBlock * 3 + 100, 3, kAhead}, // the old end inside a block, more than a read-ahead added
        {kAhead * 2, 16, kBlock},      // the old end at a read-ahead's end
        {kBlock * 3 + 5, 4, 0},        // read past the old end first, then appended
    };
    TestDrive drive;
    int iCase = 0;
    for (const CChangeCase& c : aCases) {
        const std::wstring strName = L"grow" + std::to_wstring(iCase++) + L".bin";
        drive.Write(strName, Pattern(c.cbFile, 1));
        HANDLE h = OpenRead(drive.Win(strName));
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        std::string got;
        for (int i = 0; i < c.cReadsBefore; ++i)
            got += Read(h, kBlock);
        const std::string more = Pattern(c.cbOther ? c.cbOther : 777, 2);
        Append(drive.Native(strName), more);
        const std::vector<std::string> vecAfter = ReadToEnd(h, kBlock);
        EXPECT_EQ("", Difference(PlainReads(drive.Native(strName), kBlock, static_cast<off_t>(got.size())),
                                 vecAfter))
            << "case " << iCase - 1;
        EXPECT_EQ("", Difference(Pattern(c.cbFile, 1) + more, got + Joined(vecAfter)))
            << "case " << iCase - 1;
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(ReadAhead, ShrinkingAndRewritingAreSeenOnceTheReadAheadIsOld)
{
    // Right after the change a read may still hand out bytes read ahead
    // before it, never others and never fewer than the file holds; once the
    // read-ahead is older than its limit, reads answer as plain reads do.
    struct CCase {
        int cReadsBefore;
        std::size_t cbNewSize; // the file cut to this size, or
        std::size_t cbRewrite; // this many bytes rewritten after the position
    };
    const CCase aCases[] = {
        {2, kBlock * 5, 0},          // cut inside the bytes read ahead
        {2, kBlock * 5 + 3, 0},      // cut inside a block
        {5, kBlock * 2, 0},          // cut behind the position
        {2, kAhead + kBlock, 0},     // cut past the read-ahead
        {17, 0, 0},                  // emptied
        {2, 0, kBlock},              // the block after the position rewritten
        {1, 0, kAhead * 2 - kBlock}, // all that follows rewritten
        {2, kAhead * 3, 0},          // cut past the piece read on the worker
        {20, 0, kAhead * 2},         // rewritten over that piece and beyond
    };
    TestDrive drive;
    int iCase = 0;
    for (const CCase& c : aCases) {
        for (bool bWait : {true, false}) {
            const std::wstring strName = L"change" + std::to_wstring(iCase) + (bWait ? L"w" : L"") + L".bin";
            const std::string old = Pattern(kAhead * 4, 5);
            drive.Write(strName, old);
            HANDLE h = OpenRead(drive.Win(strName));
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            std::string got;
            for (int i = 0; i < c.cReadsBefore; ++i)
                got += Read(h, kBlock);
            std::string now = old;
            if (c.cbRewrite == 0) {
                now.resize(c.cbNewSize);
                std::filesystem::resize_file(drive.Native(strName), c.cbNewSize);
            } else {
                now.replace(got.size(), c.cbRewrite, Pattern(c.cbRewrite, 77));
                std::fstream io(drive.Native(strName), std::ios::binary | std::ios::in | std::ios::out);
                io.seekp(static_cast<std::streamoff>(got.size()));
                io.write(now.data() + got.size(), static_cast<std::streamsize>(c.cbRewrite));
            }
            const std::string strWhat = "case " + std::to_string(iCase) + (bWait ? ", after a pause" : "");
            if (bWait) {
                std::this_thread::sleep_for(kPastReadAhead);
                EXPECT_EQ(
                    "", Difference(PlainReads(drive.Native(strName), kBlock, static_cast<off_t>(got.size())),
                                   ReadToEnd(h, kBlock)))
                    << strWhat;
            } else {
                const std::vector<std::string> vecAfter = ReadToEnd(h, kBlock);
                ExpectWholeUntilTheEnd(vecAfter, kBlock, strWhat);
                const std::string after = Joined(vecAfter);
                EXPECT_LE(got.size() + after.size(), old.size()) << strWhat;
                EXPECT_GE(got.size() + after.size(), now.size()) << strWhat;
                for (std::size_t i = 0; i < after.size(); ++i) {
                    const std::size_t at = got.size() + i;
                    if (after[i] != old[at] && (at >= now.size() || after[i] != now[at])) {
                        ADD_FAILURE() << strWhat << ": byte " << at << " is neither old nor new";
                        break;
                    }
                }
            }
            EXPECT_TRUE(CloseHandle(h));
        }
        ++iCase;
    }
}

using CHookGuard = kvtest::FaultScope;

TEST(ReadAhead, FaultsComeAtTheirBlockAndReadingGoesOnAfterThem)
{
    // Through the fault seam: reads that fail from an offset on (a bad
    // sector; the read before it is cut there), one read that fails once,
    // one read shortened. The layer has read past the fault, yet every call
    // before it gets plain reads' bytes, the one reaching it fails, the seam
    // sees each call's own offset once, and a call that failed or was cut
    // took nothing more from the buffer.
    enum class EFault { FromHereOn, Once, Shortened };
    struct CCase {
        EFault eFault;
        unsigned long long qwAt;
    };
    const CCase aCases[] = {
        {EFault::FromHereOn, kBlock},
        {EFault::FromHereOn, kBlock * 5 + 77},
        {EFault::FromHereOn, kAhead + kBlock},
        {EFault::FromHereOn, kAhead * 2 - 1},
        {EFault::Once, kBlock * 3},
        {EFault::Once, kAhead},
        {EFault::Shortened, kBlock * 3},
        {EFault::Shortened, kAhead - kBlock},
        {EFault::FromHereOn, kAhead * 3 + 5}, // inside a piece read on the worker
    };
    TestDrive drive;
    const std::string bytes = Pattern(kAhead * 4, 8);
    drive.Write(L"bad.bin", bytes);
    for (const CCase& c : aCases) {
        const std::string strWhat =
            "fault " + std::to_string(static_cast<int>(c.eFault)) + " at " + std::to_string(c.qwAt);
        std::vector<unsigned long long> vecOffsets;
        bool bFaulted = false;
        CHookGuard guard([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
            if (ctx.eCall != kvwin32::Call::ReadFile)
                return TRUE;
            vecOffsets.push_back(ctx.qwOffset);
            if (c.eFault == EFault::FromHereOn && ctx.qwOffset < c.qwAt &&
                ctx.qwOffset + *ctx.pdwToRead > c.qwAt)
                *ctx.pdwToRead = static_cast<DWORD>(c.qwAt - ctx.qwOffset);
            if (ctx.qwOffset != c.qwAt || (bFaulted && c.eFault != EFault::FromHereOn))
                return TRUE;
            bFaulted = true;
            if (c.eFault == EFault::Shortened) {
                *ctx.pdwToRead = 100;
                return TRUE;
            }
            *pdwError = ERROR_NOT_READY;
            return FALSE;
        });
        HANDLE h = OpenRead(drive.Win(L"bad.bin"));
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        std::string got;
        std::vector<unsigned long long> vecExpected;
        int cFailed = 0;
        for (int i = 0; i < 1000 && cFailed < 2; ++i) {
            vecExpected.push_back(got.size());
            std::vector<char> buf(kBlock);
            DWORD dwRead = 555;
            if (!ReadFile(h, buf.data(), kBlock, &dwRead, nullptr)) {
                EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), GetLastError()) << strWhat;
                EXPECT_EQ(0u, dwRead) << strWhat;
                EXPECT_EQ(c.qwAt, got.size()) << strWhat;
                if (++cFailed == 1 && c.eFault == EFault::Once)
                    cFailed = 2; // and read on below
                continue;
            }
            if (dwRead == 0)
                break;
            got.append(buf.data(), dwRead);
        }
        if (c.eFault == EFault::Once)
            got += Joined(ReadToEnd(h, kBlock));
        EXPECT_EQ(c.eFault == EFault::Shortened ? 0 : 2, cFailed) << strWhat;
        EXPECT_EQ("", Difference(c.eFault == EFault::FromHereOn ? bytes.substr(0, c.qwAt) : bytes, got))
            << strWhat;
        if (c.eFault == EFault::FromHereOn) {
            EXPECT_EQ(vecExpected, vecOffsets) << strWhat;
        }
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(ReadAhead, HandlesReadingOnTogetherGetTheirOwnBytes)
{
    // One worker thread reads the next piece for every handle: handles read
    // on two threads at once, and handles closed while it reads for them.
    TestDrive drive;
    const DWORD cbFile = 5 * kAhead + 1;
    for (int i = 0; i < 4; ++i)
        drive.Write(L"t" + std::to_wstring(i) + L".bin", Pattern(cbFile, 10 + i));
    std::string astrGot[4];
    auto readFiles = [&](int iFirst) {
        for (int i = iFirst; i < 4; i += 2) {
            HANDLE h = OpenRead(drive.Win(L"t" + std::to_wstring(i) + L".bin"));
            astrGot[i] = Joined(ReadToEnd(h, kBlock));
            CloseHandle(h);
        }
    };
    std::thread other(readFiles, 1);
    readFiles(0);
    other.join();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ("", Difference(Pattern(cbFile, 10 + i), astrGot[i])) << "file " << i;

    for (int cReads = 2; cReads < 40; cReads += 3) {
        HANDLE h = OpenRead(drive.Win(L"t0.bin"));
        for (int i = 0; i < cReads; ++i)
            Read(h, kBlock);
        EXPECT_TRUE(CloseHandle(h)) << "closed after " << cReads << " reads";
    }
    HANDLE h = OpenRead(drive.Win(L"t3.bin"));
    EXPECT_EQ("", Difference(Pattern(cbFile, 13), Joined(ReadToEnd(h, kBlock)))) << "a handle after those";
    EXPECT_TRUE(CloseHandle(h));
}

TEST(ReadAhead, AChildOfAForkReadsOnWithoutTheWorker)
{
    // Forked while the worker reads for a handle (the worker is not in the
    // child): the child reads that handle and a new one to the end.
    TestDrive drive;
    const DWORD cbFile = 6 * kAhead + 7;
    drive.Write(L"fork.bin", Pattern(cbFile, 21));
    for (int iTry = 0; iTry < 5; ++iTry) {
        HANDLE h = OpenRead(drive.Win(L"fork.bin"));
        std::string first = Read(h, kBlock);
        first += Read(h, kBlock);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::alarm(20); // a child that waits for the worker forever
            const bool bSame = first + Joined(ReadToEnd(h, kBlock)) == Pattern(cbFile, 21);
            HANDLE hNew = OpenRead(drive.Win(L"fork.bin"));
            const bool bNewSame = Joined(ReadToEnd(hNew, kBlock)) == Pattern(cbFile, 21);
            ::_exit(bSame && bNewSame ? 0 : 1);
        }
        int iStatus = 0;
        ASSERT_EQ(pid, ::waitpid(pid, &iStatus, 0));
        EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0)
            << "try " << iTry << ", status " << iStatus;
        EXPECT_EQ("", Difference(Pattern(cbFile, 21), first + Joined(ReadToEnd(h, kBlock)))) << "the parent";
        EXPECT_TRUE(CloseHandle(h));
    }
}

} // namespace
