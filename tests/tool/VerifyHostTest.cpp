// The tool's callback: its answers, prompts, progress and event lines.
#include "host/VerifyHost.h"

#include <Korvane.h>

#include <gtest/gtest.h>

#include <deque>

using namespace kvtool;

namespace {

struct CHostRig {
    CStringSink report;
    CStringSink progress;
    CStringSink events;
    std::deque<std::string> replies;
    double dNow = 100.0;

    CHostOutput Output(bool bBar = false)
    {
        CHostOutput out;
        out.pReport = &report;
        out.pProgress = &progress;
        out.pEvents = &events;
        out.bBar = bBar;
        out.fnReadReply = [this](std::string& strLine) {
            if (replies.empty())
                return false;
            strLine = replies.front();
            replies.pop_front();
            return true;
        };
        return out;
    }
    std::function<double()> Clock()
    {
        return [this] { return dNow; };
    }
};

DWORD Call(CVerifyHost& host, UINT uiCmd, const wchar_t* pszParam1, DWORD dwParam2)
{
    return CVerifyHost::Callback(uiCmd, const_cast<wchar_t*>(pszParam1), dwParam2, &host);
}

} // namespace

TEST(ToolHost, AnswersFollowOnError)
{
    struct {
        EOnError eOnError;
        int iRevision;
        DWORD dwAnswer;
    } cases[] = {
        {EOnError::Skip, 11, CRCVERIF_ANSWER_SKIP},
        {EOnError::Continue, 11, CRCVERIF_ANSWER_SKIP},
        {EOnError::Fail, 11, CRCVERIF_ANSWER_FAIL},
        {EOnError::Abort, 11, CRCVERIF_ANSWER_ABORT},
        {EOnError::Skip, 10, CRCVERIF_ANSWER_SKIP},
        {EOnError::Continue, 10, CRCVERIF_ANSWER_SKIP},
        {EOnError::Fail, 10, CRCVERIF_ANSWER_FAIL},
        // 2 would be a skip to a revision 1.0 library: never send it there.
        {EOnError::Abort, 10, CRCVERIF_ANSWER_FAIL},
    };
    for (const auto& c : cases) {
        CHostRig rig;
        CVerifyHost host(c.iRevision, c.eOnError, rig.Output(), rig.Clock());
        Call(host, CRCVERIF_BEGIN, nullptr, 3);
        EXPECT_EQ(c.dwAnswer, Call(host, CRCVERIF_FILEERROR, L"E:\\a.txt", CRCVERIF_ERROR_MISSING));
        EXPECT_EQ(0u, Call(host, CRCVERIF_PROGRESS, nullptr, 1));
        EXPECT_EQ(0u, Call(host, CRCVERIF_TARGETDONE, nullptr, 0));
        EXPECT_EQ(0u, Call(host, CRCVERIF_END, nullptr, 3));
        EXPECT_EQ("MISSING  E:/a.txt\n", rig.report.Text());
    }
}

TEST(ToolHost, EventLinesCarryTheAnswers)
{
    CHostRig rig;
    CVerifyHost host(11, EOnError::Fail, rig.Output(), rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 6);
    Call(host, CRCVERIF_PROGRESS, nullptr, 1);
    Call(host, CRCVERIF_TARGETDONE, nullptr, 0);
    Call(host, CRCVERIF_FILEERROR, L"/src\\\"q\".txt", CRCVERIF_ERROR_DIFFERS);
    EXPECT_EQ("{\"cmd\":0,\"name\":\"CRCVERIF_BEGIN\",\"param1\":null,\"param2\":6,\"answer\":0}\n"
              "{\"cmd\":1,\"name\":\"CRCVERIF_PROGRESS\",\"param1\":null,\"param2\":1,\"answer\":0}\n"
              "{\"cmd\":4,\"name\":\"CRCVERIF_TARGETDONE\",\"param1\":null,\"param2\":0,\"answer\":0}\n"
              "{\"cmd\":3,\"name\":\"CRCVERIF_FILEERROR\",\"param1\":\"/src\\\\\\\"q\\\".txt\",\"param2\":0,"
              "\"answer\":1}\n",
              rig.events.Text());
}

TEST(ToolHost, AskRepromptsUntilAnAnswerItKnows)
{
    CHostRig rig;
    rig.replies = {"x", "", " A "};
    CVerifyHost host(11, EOnError::Ask, rig.Output(), rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 0);
    EXPECT_EQ(CRCVERIF_ANSWER_ABORT, Call(host, CRCVERIF_FILEERROR, L"E:\\a.txt", CRCVERIF_ERROR_MISSING));
    const std::string strPrompt = "[s]kip, [f]ail or [a]bort? ";
    EXPECT_EQ("begin: 0 MiB to read\n" + strPrompt + strPrompt + strPrompt, rig.progress.Text());
}

TEST(ToolHost, AskNeverOffersAbortToRevision10)
{
    CHostRig rig;
    rig.replies = {"a", "abort", "skip"};
    CVerifyHost host(10, EOnError::Ask, rig.Output(), rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 2);
    EXPECT_EQ(CRCVERIF_ANSWER_SKIP, Call(host, CRCVERIF_FILEERROR, L"E:\\a.txt", CRCVERIF_ERROR_MISSING));
    EXPECT_EQ(std::string::npos, rig.progress.Text().find("abort"));
    EXPECT_NE(std::string::npos, rig.progress.Text().find("[s]kip or [f]ail? "));
}

TEST(ToolHost, AskWithNobodyToAnswerFails)
{
    CHostRig rig;
    CVerifyHost host(11, EOnError::Ask, rig.Output(), rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 0);
    EXPECT_EQ(CRCVERIF_ANSWER_FAIL, Call(host, CRCVERIF_FILEERROR, L"E:\\a.txt", CRCVERIF_ERROR_MISSING));
    EXPECT_NE(std::string::npos, rig.progress.Text().find("fail\n"));
}

TEST(ToolHost, RepliesTable)
{
    struct {
        const char* pszReply;
        int iRevision;
        bool bOk;
        DWORD dwAnswer;
    } cases[] = {
        {"s", 11, true, 0}, {"SKIP", 11, true, 0},  {"f", 11, true, 1},   {" fail\t", 11, true, 1},
        {"a", 11, true, 2}, {"Abort", 11, true, 2}, {"a", 10, false, 0},  {"f", 10, true, 1},
        {"", 11, false, 0}, {"yes", 11, false, 0},  {"sf", 11, false, 0},
    };
    for (const auto& c : cases) {
        DWORD dwAnswer = 99;
        EXPECT_EQ(c.bOk, ParseReply(c.pszReply, c.iRevision, dwAnswer)) << c.pszReply;
        if (c.bOk) {
            EXPECT_EQ(c.dwAnswer, dwAnswer) << c.pszReply;
        }
    }
    EOnError e;
    EXPECT_TRUE(ParseOnError(L"abort", e));
    EXPECT_EQ(EOnError::Abort, e);
    EXPECT_TRUE(ParseOnError(L"continue", e));
    EXPECT_EQ(EOnError::Continue, e);
    EXPECT_FALSE(ParseOnError(L"Skip", e));
    EXPECT_FALSE(ParseOnError(L"", e));
}

TEST(ToolHost, PlainProgressLinesAtMostOneInTenSeconds)
{
    CHostRig rig;
    CVerifyHost host(11, EOnError::Skip, rig.Output(), rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 4);
    rig.dNow += 9.9;
    Call(host, CRCVERIF_PROGRESS, nullptr, 1);
    rig.dNow += 0.1;
    Call(host, CRCVERIF_PROGRESS, nullptr, 2);
    Call(host, CRCVERIF_TARGETDONE, nullptr, 0);
    rig.dNow += 9.9;
    Call(host, CRCVERIF_PROGRESS, nullptr, 3);
    Call(host, CRCVERIF_END, nullptr, 2);
    EXPECT_EQ("begin: 4 MiB to read\nprogress: 2 of 4 MiB\nend: 2 files listed\n", rig.progress.Text());
    EXPECT_EQ(3u, host.Done());
    EXPECT_TRUE(host.HasEnded());
    EXPECT_EQ(2u, host.EndCount());
}

TEST(ToolHost, Revision10CountsMatchingFiles)
{
    // Every command 1 carries the file count; the host counts the reports.
    CHostRig rig;
    CVerifyHost host(10, EOnError::Skip, rig.Output(), rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 3);
    rig.dNow += 10;
    Call(host, CRCVERIF_PROGRESS, nullptr, 3);
    rig.dNow += 10;
    Call(host, CRCVERIF_PROGRESS, nullptr, 3);
    EXPECT_EQ("begin: 3 files to check\nprogress: 1 of 3 files\nprogress: 2 of 3 files\n",
              rig.progress.Text());
    EXPECT_EQ(2u, host.Done());
    EXPECT_EQ(2u, host.Tracker().PairsCompared());
}

TEST(ToolHost, BarIsClearedAroundProblemLinesAndAtTheEnd)
{
    CHostRig rig;
    CHostOutput out = rig.Output(true);
    out.pReport = &rig.progress; // one screen: see the order of everything
    out.iColumns = 64;           // the bar takes what the numbers leave, up to 40
    CVerifyHost host(11, EOnError::Skip, out, rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 8);
    rig.dNow += 2.0;
    Call(host, CRCVERIF_PROGRESS, nullptr, 4);
    rig.dNow += 0.05;
    Call(host, CRCVERIF_PROGRESS, nullptr, 5); // too soon to redraw
    Call(host, CRCVERIF_FILEERROR, L"E:\\a.txt", CRCVERIF_ERROR_MISSING);
    Call(host, CRCVERIF_END, nullptr, 1);
    const std::string strStart = "[" + std::string(40, '-') + "]  0/8 MiB    0%";
    const std::string strHalf = "[############------------]  4/8 MiB   50%  2.0 MiB/s  0:02 left";
    const std::string strAfter =
        "[" + std::string(15, '#') + std::string(9, '-') + "]  5/8 MiB   62%  2.4 MiB/s  0:01 left";
    EXPECT_EQ("\r" + strStart + "\r" + strHalf + "\r" + std::string(strHalf.size(), ' ') + "\r" +
                  "MISSING  E:/a.txt\n" + "\r" + strAfter + "\r" + std::string(strAfter.size(), ' ') + "\r",
              rig.progress.Text());
}

TEST(ToolHost, OnePairOneLine)
{
    CHostRig rig;
    CVerifyHost host(11, EOnError::Skip, rig.Output(), rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 0);
    Call(host, CRCVERIF_FILEERROR, L"E:\\a.txt", CRCVERIF_ERROR_MISSING);
    Call(host, CRCVERIF_FILEERROR, L"/src\\a.txt", CRCVERIF_ERROR_DIFFERS);
    EXPECT_EQ("MISSING  E:/a.txt\n", rig.report.Text());
    EXPECT_EQ(1u, host.PairsOfStatus(EProblemStatus::Missing));
}

TEST(ToolHost, InterruptStopsAtTheNextCall)
{
    // What each call is answered once Ctrl-C was pressed; revision 1.0 can
    // only be stopped by a problem's fail, elsewhere the run ends there.
    struct {
        int iRevision;
        UINT uiCmd;
        DWORD dwAnswer;
        bool bStoppedNow;
    } cases[] = {
        {11, CRCVERIF_PROGRESS, CRCVERIF_ANSWER_ABORT, false},
        {11, CRCVERIF_TARGETDONE, CRCVERIF_ANSWER_ABORT, false},
        {11, CRCVERIF_FILEERROR, CRCVERIF_ANSWER_ABORT, false},
        {10, CRCVERIF_FILEERROR, CRCVERIF_ANSWER_FAIL, false},
        {10, CRCVERIF_PROGRESS, 0, true},
    };
    for (const auto& c : cases) {
        CHostRig rig;
        bool bInterrupted = false;
        bool bStoppedNow = false;
        CHostOutput out = rig.Output();
        out.fnInterrupted = [&bInterrupted] { return bInterrupted; };
        out.fnStopNow = [&bStoppedNow] { bStoppedNow = true; };
        CVerifyHost host(c.iRevision, EOnError::Skip, out, rig.Clock());
        Call(host, CRCVERIF_BEGIN, nullptr, 3);
        EXPECT_EQ(0u, Call(host, c.uiCmd, L"E:\\a.txt", 1)) << c.uiCmd;
        EXPECT_FALSE(host.Stopped());
        bInterrupted = true;
        EXPECT_EQ(c.dwAnswer, Call(host, c.uiCmd, L"E:\\b.txt", 1)) << c.iRevision << " " << c.uiCmd;
        EXPECT_TRUE(host.Stopped());
        EXPECT_EQ(c.bStoppedNow, bStoppedNow) << c.iRevision << " " << c.uiCmd;
    }
}

TEST(ToolHost, ReportBufferIsNotReadPastItsEnd)
{
    // A full buffer without a terminator: the host stops at MAX_PATH characters.
    wchar_t szBuffer[MAX_PATH + 1];
    for (int i = 0; i < MAX_PATH; ++i)
        szBuffer[i] = L'x';
    szBuffer[MAX_PATH] = L'!';
    CHostRig rig;
    CVerifyHost host(11, EOnError::Skip, rig.Output(), rig.Clock());
    Call(host, CRCVERIF_BEGIN, nullptr, 0);
    Call(host, CRCVERIF_FILEERROR, szBuffer, CRCVERIF_ERROR_MISSING);
    // (Whether a name that long can be looked up depends on the system.)
    const std::string strText = rig.report.Text();
    EXPECT_NE(std::string::npos, strText.find("  " + std::string(MAX_PATH, 'x'))) << strText;
    EXPECT_EQ(std::string::npos, strText.find(std::string(MAX_PATH + 1, 'x'))) << strText;
    EXPECT_EQ(std::string::npos, strText.find('!')) << strText;
}
