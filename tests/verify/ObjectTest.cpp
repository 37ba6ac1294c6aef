// The verifier object: its trace, the sharing of its XML interface by
// copies, and (revision 1.1) the progress accounting.
#include "FakeXml.h"
#include "Harness.h"
#include "LogCapture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace kvtest {
namespace {

TEST(ObjectTest, ConstructorAndDestructorTraceThemselves)
{
    LogCapture log;
    {
        TestKorvane k;
        EXPECT_NE(nullptr, k.m_pXml);
        EXPECT_EQ(0u, k.m_dwFileCount);
        EXPECT_EQ(nullptr, k.m_lpCB);
    }
    const std::vector<LogCapture::Record>& r = log.Records();
    ASSERT_EQ(4u, r.size());
    EXPECT_EQ(ZRLOG_ENTER, r[0].eLevel);
    EXPECT_EQ(L"CKorvane::CKorvane()", r[0].strText);
    EXPECT_EQ(ZRLOG_EXIT, r[1].eLevel);
    EXPECT_EQ(L"CKorvane::~CKorvane()", r[2].strText);
    EXPECT_TRUE(log.Messages().empty());
}

TEST(ObjectTest, CopiesShareTheDocumentAndEachHolderReleasesOnce)
{
    FakeCounters counters;
    FakeXml xml(counters);
    {
        TestKorvane a;
        a.m_pXml->Release();
        a.m_pXml = &xml; // a holds the one reference the fake starts with
        a.m_dwFileCount = 7;
        {
            TestKorvane b(a);
            EXPECT_EQ(&xml, b.m_pXml);
            EXPECT_EQ(7u, b.m_dwFileCount);
            EXPECT_EQ(2, xml.iRefs);
            TestKorvane c;
            c = b;
            EXPECT_EQ(3, xml.iRefs);
            c = c; // self-assignment keeps the reference
            EXPECT_EQ(3, xml.iRefs);
        }
        EXPECT_EQ(1, xml.iRefs);
    }
    EXPECT_EQ(0, xml.iRefs);
}

TEST(ObjectTest, AssignmentReleasesTheInterfaceItReplaces)
{
    FakeCounters counters;
    FakeXml first(counters), second(counters);
    {
        TestKorvane a, b;
        a.m_pXml->Release();
        b.m_pXml->Release();
        a.m_pXml = &first;
        b.m_pXml = &second;
        b = a;
        EXPECT_EQ(0, second.iRefs);
        EXPECT_EQ(2, first.iRefs);
    }
    EXPECT_EQ(0, first.iRefs);
}

#if KORVANE_REVISION >= 11
class ProgressTest : public testing::Test {
  protected:
    TestKorvane k;
    Host host;
    void SetUp() override
    {
        host.Attach(k);
        k.m_llBytesDone = 0;
        k.m_dwLastMiB = 0;
        k.m_bAbortVerif = FALSE;
    }
};

TEST_F(ProgressTest, ReportsEachWholeMiBOnceHoweverManyARead)
{
    EXPECT_EQ(0u, k.CBProgress(0, nullptr, 1048575, nullptr));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(0u, k.CBProgress(0, nullptr, 1, nullptr));
    EXPECT_EQ(0u, k.CBProgress(0, nullptr, 5242880, nullptr));
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_PROGRESS, 1), Cmd(CRCVERIF_PROGRESS, 6)}), host.calls);
    EXPECT_EQ(6u, k.m_dwLastMiB);
    EXPECT_EQ(6291456, k.m_llBytesDone);
    EXPECT_EQ(static_cast<LPVOID>(&host), k.m_lpUserParam);
}

TEST_F(ProgressTest, WithoutCallbackStillCounts)
{
    k.m_lpCB = nullptr;
    EXPECT_EQ(0u, k.CBProgress(0, nullptr, 3 * 1048576, nullptr));
    EXPECT_EQ(3u, k.m_dwLastMiB);
    EXPECT_EQ(3 * 1048576, k.m_llBytesDone);
}

TEST_F(ProgressTest, CountIsUnsigned32Bit)
{
    EXPECT_EQ(0u, k.CBProgress(0, nullptr, 0xFFFFFFFFu, nullptr));
    EXPECT_EQ(0xFFFFFFFFLL, k.m_llBytesDone);
    EXPECT_EQ(4095u, k.m_dwLastMiB);
}

TEST_F(ProgressTest, AbortAnswerRaisesTheFlagAndLaterReportsStillCome)
{
    LogCapture log;
    host.Answer = [](const Call&) { return 2u; };
    EXPECT_EQ(static_cast<DWORD>(E_ABORT), k.CBProgress(0, nullptr, 1048576, nullptr));
    EXPECT_TRUE(k.m_bAbortVerif);
    EXPECT_EQ(
        std::vector<std::wstring>{L"CKorvane::CBProgress(UINT uiCmd,LPVOID pParam1,DWORD dwParam2,LPVOID "
                                  L"pPraram3) Abort Verification !!!!!!"},
        log.Texts(ZRLOG_INFO));
    host.Answer = nullptr;
    EXPECT_EQ(0u, k.CBProgress(0, nullptr, 1048576, nullptr));
    EXPECT_EQ(2u, host.calls.size());
    EXPECT_TRUE(k.m_bAbortVerif); // stays raised until the next run
}

TEST_F(ProgressTest, OtherAnswersChangeNothing)
{
    for (DWORD dwAnswer : {0u, 1u, 3u, 0xFFFFFFFFu}) {
        host.Answer = [dwAnswer](const Call&) { return dwAnswer; };
        EXPECT_EQ(0u, k.CBProgress(0, nullptr, 1048576, nullptr));
        EXPECT_FALSE(k.m_bAbortVerif) << dwAnswer;
    }
}

TEST_F(ProgressTest, CopyTakesCountersAndFlagAsTheyStand)
{
    k.m_llBytesDone = 12345;
    k.m_dwLastMiB = 9;
    k.m_bAbortVerif = TRUE;
    TestKorvane copy(k);
    EXPECT_EQ(12345, copy.m_llBytesDone);
    EXPECT_EQ(9u, copy.m_dwLastMiB);
    EXPECT_TRUE(copy.m_bAbortVerif);
    EXPECT_EQ(k.m_lpCB, copy.m_lpCB);
    EXPECT_EQ(k.m_lpUserParam, copy.m_lpUserParam);
}
#endif

} // namespace
} // namespace kvtest
