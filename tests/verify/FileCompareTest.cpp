// Revision 1.1 file comparison on real files: a source drive S: and a disc
// T:, the exact callback sequence and the exact messages of each case.
#include "Harness.h"
#include "LogCapture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#if KORVANE_REVISION >= 11

#include "FaultSeam.h"

namespace kvtest {
namespace {

const std::wstring kPrefix = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ";

class FileCompareTest : public testing::Test {
  protected:
    TestDrive src{L'S'};
    TestDrive disc{L'T'};
    TestKorvane k;
    Host host;
    FDesc desc;
    std::unique_ptr<LogCapture> log;

    void SetUp() override
    {
        k.m_llBytesDone = 0;
        k.m_dwLastMiB = 0;
        k.m_bAbortVerif = FALSE;
        desc.strFullPath = src.Win(L"a.txt").c_str();
        desc.strTargetPath = disc.Win(L"a.txt").c_str();
        log = std::make_unique<LogCapture>();
    }
    std::wstring S() const { return src.Win(L"a.txt"); }
    std::wstring T() const { return disc.Win(L"a.txt"); }
    HRESULT Check() { return k.CheckFileCRC(&desc); }
    std::vector<std::wstring> Messages() const { return log->Messages(); }
};

TEST_F(FileCompareTest, EqualFilesPassWithCommand4BetweenTheChecksums)
{
    src.Write(L"a.txt", "abc");
    disc.Write(L"a.txt", "abc");
    host.Attach(k);
    EXPECT_HR(S_OK, Check());
    EXPECT_EQ(std::vector<Call>{Cmd(CRCVERIF_TARGETDONE, 0)}, host.calls);
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"CRC OK target file=" + T() +
                                        L" / 736fdbf8 and source file=" + S() + L" / 736fdbf8"},
              Messages());
    const std::vector<std::wstring> enters = log->Texts(ZRLOG_ENTER);
    ASSERT_FALSE(enters.empty());
    EXPECT_EQ(kPrefix + L"(Source File = " + S() + L" / Target File = " + T(), enters[0]);
}

TEST_F(FileCompareTest, EqualFilesWithoutCallbackPass)
{
    src.Write(L"a.txt", "same bytes");
    disc.Write(L"a.txt", "same bytes");
    EXPECT_HR(S_OK, Check());
}

TEST_F(FileCompareTest, ProgressIsReportedAcrossBothFiles)
{
    const std::string bytes(1024 * 1024, 'x');
    src.Write(L"a.txt", bytes);
    disc.Write(L"a.txt", bytes);
    host.Attach(k);
    EXPECT_HR(S_OK, Check());
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_PROGRESS, 1), Cmd(CRCVERIF_TARGETDONE, 0),
                                 Cmd(CRCVERIF_PROGRESS, 2)}),
              host.calls);
    EXPECT_EQ(2 * 1024 * 1024, k.m_llBytesDone);
}

TEST_F(FileCompareTest, MissingTargetWithoutCallbackFailsWithoutLookingAtTheSource)
{
    src.Write(L"a.txt", "abc");
    EXPECT_HR(E_FAIL, Check());
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"ERROR target file " + T() +
                                        L" not exist (source file = " + S()},
              Messages());
}

struct AnswerCase {
    DWORD dwAnswer;
    HRESULT hrExpected;
    const wchar_t* pszMessage; // with %T and %S for the paths; null for none
};

std::wstring Expand(std::wstring s, const std::wstring& strTarget, const std::wstring& strSource)
{
    for (size_t i; (i = s.find(L"%T")) != std::wstring::npos;)
        s.replace(i, 2, strTarget);
    for (size_t i; (i = s.find(L"%S")) != std::wstring::npos;)
        s.replace(i, 2, strSource);
    return s;
}

class MissingTargetAnswerTest : public FileCompareTest, public testing::WithParamInterface<AnswerCase> {};

TEST_P(MissingTargetAnswerTest, AnswerDecides)
{
    src.Write(L"a.txt", "");
    host.AnswerErrors(GetParam().dwAnswer);
    host.Attach(k);
    EXPECT_HR(GetParam().hrExpected, Check());
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(Cmd(CRCVERIF_FILEERROR, T(), 1), host.calls[0]);
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(kPrefix + Expand(GetParam().pszMessage, T(), S()), Messages()[0]);
}

INSTANTIATE_TEST_SUITE_P(Answers, MissingTargetAnswerTest,
                         testing::Values(AnswerCase{2, E_ABORT, L"Abort Verification"},
                                         AnswerCase{1, E_FAIL,
                                                    L"ERROR target file %T not exist (source file = %S"},
                                         // Skipped at the lookup; the empty source has the size 0, as
                                         // the missing target counts, so the checksum step finds the
                                         // target missing again and reports it a second time.
                                         AnswerCase{0, S_OK, L"ERROR CRC FAILED Send file %S to KVX"}));

TEST_F(FileCompareTest, MissingTargetSkippedThenSizesDiffer)
{
    src.Write(L"a.txt", "abc");
    host.Attach(k);
    EXPECT_HR(S_OK, Check());
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_FILEERROR, T(), 1), Cmd(CRCVERIF_FILEERROR, S(), 0)}),
              host.calls);
    EXPECT_EQ((std::vector<std::wstring>{kPrefix + L"ERROR Size are different Send file " + S() + L" to KVX",
                                         kPrefix + L"Skip Error"}),
              Messages());
}

TEST_F(FileCompareTest, MissingTargetSkippedTwiceIsNeverAMatch)
{
    // Both sizes 0: the target is reported missing at its lookup and at its
    // checksum; skipped both times, its checksum was never computed, so the
    // pair is reported as differing rather than passed.
    src.Write(L"a.txt", "");
    host.Attach(k);
    EXPECT_HR(S_OK, Check());
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_FILEERROR, T(), 1), Cmd(CRCVERIF_FILEERROR, T(), 1),
                                 Cmd(CRCVERIF_TARGETDONE, 0), Cmd(CRCVERIF_FILEERROR, S(), 0)}),
              host.calls);
}

class MissingSourceAnswerTest : public FileCompareTest, public testing::WithParamInterface<AnswerCase> {};

TEST_P(MissingSourceAnswerTest, AnswerDecides)
{
    disc.Write(L"a.txt", "abc");
    host.AnswerErrors(GetParam().dwAnswer);
    host.Attach(k);
    EXPECT_HR(GetParam().hrExpected, Check());
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(Cmd(CRCVERIF_FILEERROR, S(), 1), host.calls[0]);
    EXPECT_EQ(kPrefix + Expand(GetParam().pszMessage, T(), S()), Messages().at(0));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MissingSourceAnswerTest,
    testing::Values(AnswerCase{2, E_ABORT, L"Abort Verification !!!!!"},
                    AnswerCase{1, E_FAIL, L"ERROR source file %S not exist (Target file = %T"},
                    // Skipped: the source size counts as 0, so the sizes differ.
                    AnswerCase{0, S_OK, L"ERROR Size are different Send file %S to KVX"},
                    AnswerCase{3, S_OK, L"ERROR Size are different Send file %S to KVX"}));

TEST_F(FileCompareTest, MissingSourceWithoutCallback)
{
    disc.Write(L"a.txt", "abc");
    EXPECT_HR(E_FAIL, Check());
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"ERROR source file " + S() + L" not exist"}, Messages());
}

TEST_F(FileCompareTest, SizesDifferingAreJudgedWithoutChecksums)
{
    src.Write(L"a.txt", "abc");
    disc.Write(L"a.txt", "abcd");
    const std::wstring strSizes = kPrefix + L"ERROR Size are different : Target file " + T() +
                                  L" (Size=4) AND source file = " + S() + L" (Size=3";
    EXPECT_HR(E_FAIL, Check());
    EXPECT_EQ(std::vector<std::wstring>{strSizes}, Messages());

    for (const AnswerCase& c : {AnswerCase{0, S_OK, L"Skip Error"}, AnswerCase{1, E_FAIL, nullptr},
                                AnswerCase{2, E_ABORT, L"Abort Verification !!!!!!"}}) {
        log->Clear();
        host.calls.clear();
        host.AnswerErrors(c.dwAnswer);
        host.Attach(k);
        EXPECT_HR(c.hrExpected, Check());
        EXPECT_EQ(std::vector<Call>{Cmd(CRCVERIF_FILEERROR, S(), 0)}, host.calls)
            << "no checksum, no command 4";
        ASSERT_EQ(2u, Messages().size());
        EXPECT_EQ(kPrefix + L"ERROR Size are different Send file " + S() + L" to KVX", Messages()[0]);
        EXPECT_EQ(c.pszMessage ? kPrefix + c.pszMessage : strSizes, Messages()[1]);
    }
    EXPECT_EQ(0, k.m_llBytesDone);
}

TEST_F(FileCompareTest, ChecksumsDifferingWithoutCallbackGiveSizesChecksumsAndTimes)
{
    src.Write(L"a.txt", "abc");
    disc.Write(L"a.txt", "abd");
    SetWriteTime(src.Native(L"a.txt"), 2024, 2, 29, 12, 34, 56);
    SetWriteTime(disc.Native(L"a.txt"), 2025, 7, 4, 8, 5, 9);
    EXPECT_HR(E_FAIL, Check());
    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(3u, messages.size());
    // The target checksum is followed by a literal d.
    EXPECT_EQ(0u, messages[0].find(kPrefix + L"ERROR CRC FAILED target file=" + T() + L" (Size=3) / "));
    EXPECT_NE(std::wstring::npos, messages[0].find(L"d and source file=" + S() + L" (Size=3) / 736fdbf8"));
    EXPECT_EQ(kPrefix + L"ERROR CRC FAILED Source file Last modification 29/2/2024 12H34mn56s", messages[1]);
    EXPECT_EQ(kPrefix + L"ERROR CRC FAILED target file Last modification 4/7/2025 8H5mn9s", messages[2]);
}

TEST_F(FileCompareTest, ChecksumsDifferingAnswers)
{
    src.Write(L"a.txt", "abc");
    disc.Write(L"a.txt", "abd");
    for (const AnswerCase& c : {AnswerCase{0, S_OK, nullptr}, AnswerCase{1, E_FAIL, nullptr},
                                AnswerCase{2, E_ABORT, L"Abort Verification !!!!!!"}}) {
        log->Clear();
        host.calls.clear();
        host.AnswerErrors(c.dwAnswer);
        host.Attach(k);
        EXPECT_HR(c.hrExpected, Check());
        EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_TARGETDONE, 0), Cmd(CRCVERIF_FILEERROR, S(), 0)}),
                  host.calls);
        const std::vector<std::wstring> messages = Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(kPrefix + L"ERROR CRC FAILED Send file " + S() + L" to KVX", messages[0]);
        if (c.dwAnswer == 0)
            EXPECT_EQ(1u, messages.size());
        else if (c.dwAnswer == 1)
            EXPECT_EQ(4u, messages.size()) << "the mismatch details follow a fail answer";
        else
            EXPECT_EQ((std::vector<std::wstring>{messages[0], kPrefix + c.pszMessage}), messages);
    }
}

TEST_F(FileCompareTest, AbortAnswerToCommand4)
{
    src.Write(L"a.txt", "abc");
    disc.Write(L"a.txt", "abc");
    host.Answer = [](const Call& c) { return c.uiCmd == CRCVERIF_TARGETDONE ? 2u : 0u; };
    host.Attach(k);
    EXPECT_HR(E_ABORT, Check());
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"Abort Verification !!!!!!"}, Messages());
}

TEST_F(FileCompareTest, AbortThroughProgressEndsAfterTheTargetIsReadWhole)
{
    const std::string bytes(2 * 1024 * 1024 + 5, 'q');
    src.Write(L"a.txt", bytes);
    disc.Write(L"a.txt", bytes);
    host.Answer = [](const Call& c) { return c.uiCmd == CRCVERIF_PROGRESS ? 2u : 0u; };
    host.Attach(k);
    EXPECT_HR(E_ABORT, Check());
    // Both MiB of the target are reported; command 4 is not sent and the
    // source is not read.
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_PROGRESS, 1), Cmd(CRCVERIF_PROGRESS, 2)}), host.calls);
    EXPECT_EQ(static_cast<long long>(bytes.size()), k.m_llBytesDone);
    EXPECT_EQ(kPrefix + L"m_bAbortVerif = TRUE Abort Verification !!!!!!", Messages().back());
}

TEST_F(FileCompareTest, NullDescriptionIsAnInvalidArgument)
{
    host.Attach(k);
    EXPECT_HR(E_INVALIDARG, k.CheckFileCRC(nullptr));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"pFDesc = NULL !"}, Messages());
}

TEST_F(FileCompareTest, LongPathReachesTheHostCutToTheBuffer)
{
    std::wstring strLong = disc.Win(std::wstring(300, L'n') + L".txt");
    desc.strTargetPath = strLong.c_str();
    src.Write(L"a.txt", "abc");
    host.AnswerErrors(1);
    host.Attach(k);
    EXPECT_HR(E_FAIL, Check());
    ASSERT_EQ(1u, host.calls.size());
    EXPECT_EQ(strLong.substr(0, MAX_PATH - 1), host.calls[0].strPath);
}

TEST_F(FileCompareTest, SizesOver4GiBCompareOnAllBits)
{
    src.Write(L"a.txt", "abc");
    {
        std::filesystem::path p = disc.Native(L"a.txt");
        WriteBytes(p, "abc");
        std::filesystem::resize_file(p, (1ull << 32) + 3); // sparse where the file system allows
    }
    EXPECT_HR(E_FAIL, Check());
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"ERROR Size are different : Target file " + T() +
                                        L" (Size=4294967299) AND source file = " + S() + L" (Size=3"},
              Messages());
}

// A target that exists but cannot be opened: the fault seam stands in for a
// sharing violation.
struct DenyOpen {
    std::wstring strPath;
    static BOOL Hook(void* pContext, const kvwin32::FaultContext& ctx, DWORD* pdwError)
    {
        auto* pSelf = static_cast<DenyOpen*>(pContext);
        if (ctx.eCall == kvwin32::Call::CreateFile &&
            (pSelf->strPath.empty() || pSelf->strPath == ctx.pszPath)) {
            *pdwError = ERROR_SHARING_VIOLATION;
            return FALSE;
        }
        return TRUE;
    }
};

TEST_F(FileCompareTest, UnreadableTargetDiffersFromItsSource)
{
    src.Write(L"a.txt", "abc");
    disc.Write(L"a.txt", "abc");
    DenyOpen deny{T()};
    kvwin32::SetFaultHook(&DenyOpen::Hook, &deny);
    host.Attach(k);
    const HRESULT hr = Check();
    kvwin32::SetFaultHook(nullptr, nullptr);
    EXPECT_HR(S_OK, hr);
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_TARGETDONE, 0), Cmd(CRCVERIF_FILEERROR, S(), 0)}), host.calls);
}

TEST_F(FileCompareTest, TwoUnreadableFilesNeverPassAsEqual)
{
    src.Write(L"a.txt", "abc");
    disc.Write(L"a.txt", "abc");
    DenyOpen deny{L""};
    kvwin32::SetFaultHook(&DenyOpen::Hook, &deny);
    const HRESULT hr = Check();
    kvwin32::SetFaultHook(nullptr, nullptr);
    EXPECT_HR(E_FAIL, hr);
    const std::vector<std::wstring> messages = Messages();
    ASSERT_EQ(3u, messages.size());
    EXPECT_NE(std::wstring::npos, messages[0].find(L" / ffffffffd and source file="));
}

} // namespace
} // namespace kvtest

#endif
