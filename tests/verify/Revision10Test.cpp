// Revision 1.0: the source-first comparison judged by checksums alone, the
// file-count reports, and no abort anywhere.
#include "Harness.h"
#include "LogCapture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#if KORVANE_REVISION == 10

#include "FaultSeam.h"

namespace kvtest {
namespace {

const std::wstring kPrefix = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ";

class Revision10Test : public testing::Test {
  protected:
    TestDrive src{L'S'};
    TestDrive disc{L'T'};
    TestDrive media{L'U'};
    TestKorvane k;
    Host host;
    FDesc desc;

    void SetUp() override
    {
        desc.strFullPath = S().c_str();
        desc.strTargetPath = T().c_str();
    }
    std::wstring S() const { return src.Win(L"a.txt"); }
    std::wstring T() const { return disc.Win(L"a.txt"); }
    Entry Both(const std::wstring& strName, const std::string& bytes)
    {
        src.Write(strName, bytes);
        disc.Write(strName, bytes);
        Entry e;
        e.strFullPath = src.Win(strName);
        e.strTargetPath = disc.Below();
        e.strName = strName;
        return e;
    }
    HRESULT Run(const std::vector<Entry>& entries, DWORD dwFiles)
    {
        media.Write(L"Media1.xml", Description(entries, dwFiles, 123456789));
        return k.VerifyBurning(L'T', media.Win(L"Media1.xml").c_str(), host.Callback(), host.User());
    }
};

TEST_F(Revision10Test, EveryMatchingFileReportsTheFileCount)
{
    const Entry a = Both(L"a.txt", "a"), b = Both(L"b.txt", "bb"), c = Both(L"c.txt", "ccc");
    EXPECT_HR(S_OK, Run({a, b, c}, 3));
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_BEGIN, 3), Cmd(CRCVERIF_PROGRESS, 3), Cmd(CRCVERIF_PROGRESS, 3),
                                 Cmd(CRCVERIF_PROGRESS, 3), Cmd(CRCVERIF_END, 3)}),
              host.calls);
}

TEST_F(Revision10Test, FolderEntryReportsEachMatchingFileUnderIt)
{
    for (int i = 0; i < 5; ++i)
        Both(L"Dir\\f" + std::to_wstring(i), std::string(static_cast<size_t>(i), 'x'));
    Entry folder;
    folder.strFullPath = src.Win(L"Dir\\*.*");
    folder.strTargetPath = disc.Below(L"Dir");
    folder.dwAttribute = FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_HR(S_OK, Run({folder}, 1));
    EXPECT_EQ(Cmd(CRCVERIF_BEGIN, 1), host.calls.front());
    EXPECT_EQ(5u, host.Only(CRCVERIF_PROGRESS).size());
    for (const Call& c : host.Only(CRCVERIF_PROGRESS))
        EXPECT_EQ(1u, c.dwParam2);
    EXPECT_EQ(Cmd(CRCVERIF_END, 1), host.calls.back());
}

TEST_F(Revision10Test, MatchingPairWithoutCallback)
{
    Both(L"a.txt", "abc");
    LogCapture log;
    EXPECT_HR(S_OK, k.CheckFileCRC(&desc));
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"CRC OK target file=" + T() +
                                        L" / 736fdbf8 and source file=" + S() + L" / 736fdbf8"},
              log.Messages());
}

TEST_F(Revision10Test, AnswerTwoIsASkip)
{
    Entry a = Both(L"a.txt", "abc");
    disc.Write(L"a.txt", "abd");
    Entry b = Both(L"b.txt", "b");
    host.AnswerErrors(2);
    EXPECT_HR(S_OK, Run({a, b}, 2));
    EXPECT_EQ(1u, host.Only(CRCVERIF_FILEERROR).size());
    EXPECT_EQ(Cmd(CRCVERIF_END, 2), host.calls.back());
}

TEST_F(Revision10Test, MissingSourceSkippedGoesOnToTheTargetWhichThenDiffers)
{
    disc.Write(L"a.txt", "abc");
    host.AnswerErrors(2);
    host.Attach(k);
    LogCapture log;
    EXPECT_HR(S_OK, k.CheckFileCRC(&desc));
    // No source checksum to match: the existing target is reported as
    // differing, never passed.
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_FILEERROR, S(), 1), Cmd(CRCVERIF_FILEERROR, S(), 0)}),
              host.calls);
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"ERROR CRC FAILED Send file " + S() + L" to KVX"},
              log.Messages());
}

TEST_F(Revision10Test, BothMissingWithoutCallbackNamesTheSourceOnly)
{
    LogCapture log;
    EXPECT_HR(E_FAIL, k.CheckFileCRC(&desc));
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"ERROR source file " + S() + L" not exist"},
              log.Messages());
}

TEST_F(Revision10Test, MissingSourceFailAnswer)
{
    disc.Write(L"a.txt", "abc");
    host.AnswerErrors(1);
    host.Attach(k);
    LogCapture log;
    EXPECT_HR(E_FAIL, k.CheckFileCRC(&desc));
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"ERROR source file " + S() +
                                        L" not exist (Target file = " + T()},
              log.Messages());
    EXPECT_EQ(1u, host.calls.size()) << "the target is not looked at";
}

TEST_F(Revision10Test, MissingTarget)
{
    src.Write(L"a.txt", "abc");
    {
        LogCapture log;
        EXPECT_HR(E_FAIL, k.CheckFileCRC(&desc));
        EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"ERROR target file " + T() +
                                            L" not exist (source file = " + S()},
                  log.Messages());
    }
    for (DWORD dwAnswer : {0u, 2u}) {
        host.calls.clear();
        host.AnswerErrors(dwAnswer);
        host.Attach(k);
        LogCapture log;
        EXPECT_HR(S_OK, k.CheckFileCRC(&desc));
        EXPECT_EQ(std::vector<Call>{Cmd(CRCVERIF_FILEERROR, T(), 1)}, host.calls) << "no command 1";
        EXPECT_TRUE(log.Messages().empty());
    }
}

TEST_F(Revision10Test, ChecksumsDifferWithoutCallback)
{
    src.Write(L"a.txt", "abc");
    disc.Write(L"a.txt", "abd");
    LogCapture log;
    EXPECT_HR(E_FAIL, k.CheckFileCRC(&desc));
    const std::vector<std::wstring> messages = log.Messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(0u, messages[0].find(kPrefix + L"ERROR CRC FAILED target file=" + T() + L" / "));
    EXPECT_NE(std::wstring::npos, messages[0].find(L"d and source file=" + S() + L" / 736fdbf8"));
}

TEST_F(Revision10Test, CutShortByZeroBytesInTheSameBlockStillMatches)
{
    src.Write(L"a.txt", std::string("abc") + std::string(10, '\0'));
    disc.Write(L"a.txt", "abc");
    host.Attach(k);
    k.m_dwFileCount = 7;
    LogCapture log;
    EXPECT_HR(S_OK, k.CheckFileCRC(&desc));
    EXPECT_EQ(std::vector<Call>{Cmd(CRCVERIF_PROGRESS, 7)}, host.calls);
    EXPECT_EQ(kPrefix + L"CRC OK target file=" + T() + L" / 736fdbf8 and source file=" + S() + L" / 736fdbf8",
              log.Messages().at(0));
}

TEST_F(Revision10Test, UnopenableTargetDiffers)
{
    Both(L"a.txt", "abc");
    struct Deny {
        std::wstring strPath;
        static BOOL Hook(void* p, const kvwin32::FaultContext& ctx, DWORD* pdwError)
        {
            if (ctx.eCall == kvwin32::Call::CreateFile && static_cast<Deny*>(p)->strPath == ctx.pszPath) {
                *pdwError = ERROR_SHARING_VIOLATION;
                return FALSE;
            }
            return TRUE;
        }
    } deny{T()};
    kvwin32::SetFaultHook(&Deny::Hook, &deny);
    host.Attach(k);
    LogCapture log;
    const HRESULT hr = k.CheckFileCRC(&desc);
    kvwin32::SetFaultHook(nullptr, nullptr);
    EXPECT_HR(S_OK, hr);
    EXPECT_EQ(std::vector<Call>{Cmd(CRCVERIF_FILEERROR, S(), 0)}, host.calls);
    EXPECT_EQ(std::vector<std::wstring>{kPrefix + L"ERROR CRC FAILED Send file " + S() + L" to KVX"},
              log.Messages());
}

} // namespace
} // namespace kvtest

#endif
