// Reads of a regular file, which the layer serves from larger reads ahead,
// against plain reads of the same file: sizes around the block and the
// read-ahead, files that grow, shrink or change while read, and faults.
#include <kvwin32.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <fcntl.h>
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
constexpr DWORD kAhead = 256 * 1024;
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
            const ssize_t cb = ::pread(fd, &buf[cbDone], cbRequest - cbDone, off + static_cast<off_t>(cbDone));
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
        return std::to_string(expected.size()) + " reads expected, " + std::to_string(actual.size()) + " made";
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
    const std::size_t aSizes[] = {1,          kBlock - 1,         kBlock,         kBlock + 1,
                                  2 * kBlock, kAhead - 1,         kAhead,         kAhead + 1,
                                  kAhead + kBlock, kAhead + kBlock + 1, 3 * kAhead + 5, 4 * kAhead + kBlock - 1};
    // Whole blocks, smaller ones, ones that do not divide the read-ahead,
    // and ones as large as it, which are read straight into the caller's buffer.
    const DWORD aRequests[] = {kBlock, 4096, 5000, 100000, kAhead, kAhead + 1};
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

TEST(ReadAhead, RequestsOfChangingSizesFollowEachOther)
{
    // A caller may mix sizes on one handle; each answer starts where the
    // one before ended, from the buffer or past it.
    TestDrive drive;
    const std::string bytes = Pattern(3 * kAhead + 123, 9);
    drive.Write(L"mixed.bin", bytes);
    HANDLE h = OpenRead(drive.Win(L"mixed.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    const DWORD aRequests[] = {kBlock, kBlock, 1, kAhead - 1, 7, kBlock, 2 * kAhead, kBlock, 3, 100000};
    std::string got;
    for (DWORD cbRequest : aRequests) {
        const std::string part = Read(h, cbRequest);
        EXPECT_EQ("", Difference(bytes.substr(got.size(), cbRequest), part)) << "at " << got.size();
        got += part;
    }
    EXPECT_EQ("", Difference(bytes, got));
    EXPECT_EQ("", Read(h, kBlock));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(ReadAhead, HandlesOfOneFileReadOnTheirOwn)
{
    TestDrive drive;
    const std::string bytes = Pattern(2 * kAhead + 999, 3);
    drive.Write(L"two.bin", bytes);
    HANDLE h1 = OpenRead(drive.Win(L"two.bin"));
    HANDLE h2 = OpenRead(drive.Win(L"two.bin"));
    ASSERT_NE(INVALID_HANDLE_VALUE, h1);
    ASSERT_NE(INVALID_HANDLE_VALUE, h2);
    std::string got1, got2;
    for (int i = 0; i < 200; ++i) {
        got1 += Read(h1, kBlock);
        if (i % 3 == 0)
            got2 += Read(h2, 5000);
    }
    got2 += Joined(ReadToEnd(h2, 5000));
    EXPECT_EQ("", Difference(bytes, got1));
    EXPECT_EQ("", Difference(bytes, got2));
    EXPECT_TRUE(CloseHandle(h1));
    EXPECT_TRUE(CloseHandle(h2));
}

TEST(ReadAhead, AHandleClosedMidwayLeavesNothingToTheNext)
{
    // Closed handles hand their buffers on; what they read ahead must not
    // reach the next handle, of another file or of the same one rewritten.
    TestDrive drive;
    const std::string first = Pattern(kAhead + kBlock, 1), second = Pattern(kAhead + kBlock, 2);
    drive.Write(L"a.bin", first);
    drive.Write(L"b.bin", second);
    for (const wchar_t* pszNext : {L"b.bin", L"a.bin"}) {
        HANDLE h = OpenRead(drive.Win(L"a.bin"));
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        std::string got = Read(h, kBlock);
        got += Read(h, kBlock);
        EXPECT_EQ("", Difference(first.substr(0, 2 * kBlock), got));
        EXPECT_TRUE(CloseHandle(h));
        const bool bSame = pszNext[0] == L'a';
        if (bSame)
            drive.Write(L"a.bin", second); // replaced right after: read as it is now
        h = OpenRead(drive.Win(pszNext));
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        EXPECT_EQ("", Difference(second, Joined(ReadToEnd(h, kBlock)))) << (bSame ? "the same file" : "another file");
        EXPECT_TRUE(CloseHandle(h));
        drive.Write(L"a.bin", first);
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
        {kBlock * 3, 1, 10},                // appended within the first read-ahead
        {kBlock * 3, 2, kAhead},            // read ahead to the old end, more than a read-ahead added
        {kBlock * 3 + 100, 3, kBlock - 100}, // the old end inside a block
        {kAhead + kBlock, 2, 1},            // the old end just past the first read-ahead
        {kAhead * 2, 16, kBlock},           // the old end at a read-ahead's end
        {kBlock * 3 + 5, 4, 0},             // read past the old end first, then appended
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
        EXPECT_EQ("", Difference(PlainReads(drive.Native(strName), kBlock, static_cast<off_t>(got.size())), vecAfter))
            << "case " << iCase - 1;
        EXPECT_EQ("", Difference(Pattern(c.cbFile, 1) + more, got + Joined(vecAfter))) << "case " << iCase - 1;
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(ReadAhead, ShrinkingEndsWhereTheFileEndsOnceTheReadAheadIsOld)
{
    const CChangeCase aCases[] = {
        {kAhead * 2, 2, kBlock * 5},        // cut inside the bytes read ahead
        {kAhead * 2, 2, kBlock * 5 + 3},    // cut inside a block
        {kAhead * 2, 5, kBlock * 2},        // cut behind the position
        {kAhead * 2, 2, kAhead + kBlock},   // cut past the read-ahead
        {kAhead * 2, 17, 0},                // emptied
    };
    TestDrive drive;
    int iCase = 0;
    for (const CChangeCase& c : aCases) {
        for (bool bWait : {true, false}) {
            const std::wstring strName = L"shrink" + std::to_wstring(iCase) + (bWait ? L"w" : L"") + L".bin";
            const std::string old = Pattern(c.cbFile, 5);
            drive.Write(strName, old);
            HANDLE h = OpenRead(drive.Win(strName));
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            std::string got;
            for (int i = 0; i < c.cReadsBefore; ++i)
                got += Read(h, kBlock);
            std::filesystem::resize_file(drive.Native(strName), c.cbOther);
            if (bWait) {
                // As plain reads would answer now.
                std::this_thread::sleep_for(kPastReadAhead);
                EXPECT_EQ("", Difference(PlainReads(drive.Native(strName), kBlock, static_cast<off_t>(got.size())),
                                         ReadToEnd(h, kBlock)))
                    << "case " << iCase;
            } else {
                // Right after the cut, bytes read ahead before it may still
                // come; never other bytes, and never less than the file holds.
                const std::vector<std::string> vecAfter = ReadToEnd(h, kBlock);
                ExpectWholeUntilTheEnd(vecAfter, kBlock, "case " + std::to_string(iCase));
                const std::string after = Joined(vecAfter);
                EXPECT_EQ("", Difference(old.substr(got.size(), after.size()), after)) << "case " << iCase;
                if (c.cbOther > got.size()) {
                    EXPECT_GE(after.size(), c.cbOther - got.size()) << "case " << iCase;
                }
            }
            EXPECT_TRUE(CloseHandle(h));
        }
        ++iCase;
    }
}

TEST(ReadAhead, RewrittenBytesAreReadOnceTheReadAheadIsOld)
{
    // Bytes rewritten in place ahead of the position: right after, each
    // byte read is the old or the new one; once the read-ahead is older
    // than its limit, only the new ones come.
    const CChangeCase aCases[] = {
        {kAhead * 2, 2, kBlock},     // the block after the position
        {kAhead * 2, 1, kAhead * 2 - kBlock}, // all that follows
        {kAhead * 2, 15, 100},       // the last block of the first read-ahead
    };
    TestDrive drive;
    int iCase = 0;
    for (const CChangeCase& c : aCases) {
        for (bool bWait : {true, false}) {
            const std::wstring strName = L"rewrite" + std::to_wstring(iCase) + (bWait ? L"w" : L"") + L".bin";
            const std::string old = Pattern(c.cbFile, 6);
            drive.Write(strName, old);
            HANDLE h = OpenRead(drive.Win(strName));
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            std::string got;
            for (int i = 0; i < c.cReadsBefore; ++i)
                got += Read(h, kBlock);
            std::string now = old;
            const std::string fresh = Pattern(c.cbOther, 77);
            now.replace(got.size(), fresh.size(), fresh);
            {
                std::fstream io(drive.Native(strName), std::ios::binary | std::ios::in | std::ios::out);
                io.seekp(static_cast<std::streamoff>(got.size()));
                io.write(fresh.data(), static_cast<std::streamsize>(fresh.size()));
            }
            if (bWait)
                std::this_thread::sleep_for(kPastReadAhead);
            const std::string after = Joined(ReadToEnd(h, kBlock));
            ASSERT_EQ(old.size() - got.size(), after.size()) << "case " << iCase;
            if (bWait) {
                EXPECT_EQ("", Difference(now.substr(got.size()), after)) << "case " << iCase;
            } else {
                for (std::size_t i = 0; i < after.size(); ++i) {
                    const std::size_t at = got.size() + i;
                    if (after[i] != old[at] && after[i] != now[at]) {
                        ADD_FAILURE() << "case " << iCase << ": byte " << at << " is neither old nor new";
                        break;
                    }
                }
            }
            EXPECT_TRUE(CloseHandle(h));
        }
        ++iCase;
    }
}

// Installs a hook for one test and removes it afterwards, even on failure.
class CHookGuard {
public:
    using Fn = std::function<BOOL(const kvwin32::FaultContext&, DWORD*)>;
    explicit CHookGuard(Fn fn) : m_fn(std::move(fn)) { kvwin32::SetFaultHook(&CHookGuard::Thunk, this); }
    ~CHookGuard() { kvwin32::SetFaultHook(nullptr, nullptr); }
    CHookGuard(const CHookGuard&) = delete;
    CHookGuard& operator=(const CHookGuard&) = delete;

private:
    static BOOL Thunk(void* pContext, const kvwin32::FaultContext& ctx, DWORD* pdwError)
    {
        return static_cast<CHookGuard*>(pContext)->m_fn(ctx, pdwError);
    }
    Fn m_fn;
};

TEST(ReadAhead, AFailingReadFailsAtItsBlockAndNotBefore)
{
    // The hook fails every read from qwFailAt on and cuts the one before
    // it there, as a bad sector would: the blocks before it arrive whole and
    // unchanged although the layer read past the fault, and the read that
    // reaches it fails, once per call.
    struct CCase {
        std::size_t cbFile;
        unsigned long long qwFailAt;
    };
    const CCase aCases[] = {
        {kAhead * 2, kBlock},          // the first read that may read ahead
        {kAhead * 2, kBlock * 5},      // inside the first read-ahead
        {kAhead * 2, kBlock * 5 + 77}, // inside a block
        {kAhead * 2, kAhead + kBlock}, // just past it
        {kAhead * 2, kAhead * 2 - 1},  // the last byte
    };
    TestDrive drive;
    const std::string bytes = Pattern(kAhead * 2, 8);
    drive.Write(L"bad.bin", bytes);
    for (const CCase& c : aCases) {
        std::vector<unsigned long long> vecOffsets;
        CHookGuard guard([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
            if (ctx.eCall != kvwin32::Call::ReadFile)
                return TRUE;
            vecOffsets.push_back(ctx.qwOffset);
            if (ctx.qwOffset >= c.qwFailAt) {
                *pdwError = ERROR_NOT_READY;
                return FALSE;
            }
            if (ctx.qwOffset + *ctx.pdwToRead > c.qwFailAt)
                *ctx.pdwToRead = static_cast<DWORD>(c.qwFailAt - ctx.qwOffset);
            return TRUE;
        });
        HANDLE h = OpenRead(drive.Win(L"bad.bin"));
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        std::string got;
        std::vector<unsigned long long> vecExpected;
        for (unsigned long long q = 0; q < c.qwFailAt; q += kBlock)
            vecExpected.push_back(q);
        for (std::size_t i = 0; i < vecExpected.size(); ++i)
            got += Read(h, kBlock);
        EXPECT_EQ("", Difference(bytes.substr(0, c.qwFailAt), got)) << "failing at " << c.qwFailAt;
        for (int iTry = 0; iTry < 2; ++iTry) {
            std::vector<char> buf(kBlock);
            DWORD dwRead = 555;
            EXPECT_FALSE(ReadFile(h, buf.data(), kBlock, &dwRead, nullptr)) << "failing at " << c.qwFailAt;
            EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), GetLastError());
            EXPECT_EQ(0u, dwRead);
            vecExpected.push_back(c.qwFailAt);
        }
        EXPECT_EQ(vecExpected, vecOffsets) << "failing at " << c.qwFailAt;
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(ReadAhead, ReadingGoesOnAfterAFailedOrShortenedRead)
{
    // A failed call takes nothing from the buffer and a shortened one only
    // what it returned: the calls after go on from where they stopped.
    struct CCase {
        unsigned long long qwAt;
        DWORD dwCap; // 0: the read at qwAt fails once
    };
    const CCase aCases[] = {{kBlock * 3, 0}, {kBlock * 3, 100}, {kAhead, 0}, {kAhead - kBlock, 1}, {kBlock, 0}};
    TestDrive drive;
    const std::string bytes = Pattern(kAhead * 2 + 10, 4);
    drive.Write(L"flaky.bin", bytes);
    for (const CCase& c : aCases) {
        bool bDone = false;
        CHookGuard guard([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
            if (ctx.eCall != kvwin32::Call::ReadFile || bDone || ctx.qwOffset != c.qwAt)
                return TRUE;
            bDone = true;
            if (c.dwCap == 0) {
                *pdwError = ERROR_READ_FAULT;
                return FALSE;
            }
            *ctx.pdwToRead = c.dwCap;
            return TRUE;
        });
        HANDLE h = OpenRead(drive.Win(L"flaky.bin"));
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        std::string got;
        int cFailed = 0;
        for (int i = 0; i < 1000; ++i) {
            std::vector<char> buf(kBlock);
            DWORD dwRead = 0;
            if (!ReadFile(h, buf.data(), kBlock, &dwRead, nullptr)) {
                EXPECT_EQ(static_cast<DWORD>(ERROR_READ_FAULT), GetLastError());
                EXPECT_EQ(c.qwAt, got.size());
                ++cFailed;
                continue;
            }
            if (dwRead == 0)
                break;
            got.append(buf.data(), dwRead);
        }
        EXPECT_EQ(c.dwCap == 0 ? 1 : 0, cFailed) << "at " << c.qwAt;
        EXPECT_EQ("", Difference(bytes, got)) << "at " << c.qwAt;
        EXPECT_TRUE(CloseHandle(h));
    }
}

} // namespace
