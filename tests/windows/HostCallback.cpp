// A host's callback, compiled apart from the DLL and declared CALLBACK, as
// the DLL calls it: on 32-bit Windows the called function removes its own
// arguments, so a caller built for another convention would shift the stack
// a little on every report.
#include "Korvane.h"

#include <gtest/gtest.h>

#include <cstdint>

#if KORVANE_REVISION >= 11

namespace {

// Reaches the protected state that a run would set up.
class CProgressHost : public CKorvane {
  public:
    void StartRun(CRCVERIFCB lpCB, LPVOID lpUserParam)
    {
        m_lpCB = lpCB;
        m_lpUserParam = lpUserParam;
        m_llBytesDone = 0;
        m_dwLastMiB = 0;
        m_bAbortVerif = FALSE;
    }
    BOOL Aborted() const { return m_bAbortVerif; }
    __int64 BytesDone() const { return m_llBytesDone; }
};

struct CallLog {
    DWORD dwCalls = 0;
    DWORD dwBadArgs = 0;
    std::uintptr_t uFirstFrame = 0;
    DWORD dwFrameMoves = 0;
    DWORD dwAbortAt = 0; // answer 2 to this report
};

DWORD CALLBACK RecordReport(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3)
{
    // The same caller at the same depth gives this local the same address on
    // every call, unless the stack pointer drifts between calls.
    volatile DWORD dwLocal = dwParam2;
    const std::uintptr_t uFrame = reinterpret_cast<std::uintptr_t>(&dwLocal);

    auto pLog = static_cast<CallLog*>(pParam3);
    ++pLog->dwCalls;
    if (uiCmd != CRCVERIF_PROGRESS || pParam1 != nullptr || dwLocal != pLog->dwCalls)
        ++pLog->dwBadArgs;
    if (pLog->dwCalls == 1)
        pLog->uFirstFrame = uFrame;
    else if (uFrame != pLog->uFirstFrame)
        ++pLog->dwFrameMoves;
    return pLog->dwCalls == pLog->dwAbortAt ? CRCVERIF_ANSWER_ABORT : CRCVERIF_ANSWER_SKIP;
}

TEST(HostCallback, TenThousandProgressReportsKeepTheStackIntact)
{
    const DWORD dwReports = 10000;
    const DWORD dwMiB = 0x100000;
    volatile DWORD dwCanaryBefore = 0x5AFEC0DE;
    CallLog log;
    log.dwAbortAt = 7777;
    CProgressHost host;
    host.StartRun(RecordReport, &log);
    volatile DWORD dwCanaryAfter = 0xC0DE5AFE;

    DWORD dwAborts = 0;
    DWORD dwAbortCall = 0;
    for (DWORD i = 1; i <= dwReports; ++i) {
        // One whole MiB more each time: one report each.
        DWORD dwAnswer = host.CBProgress(0, nullptr, dwMiB, nullptr);
        if (dwAnswer != 0) {
            ++dwAborts;
            dwAbortCall = i;
            EXPECT_EQ(static_cast<DWORD>(E_ABORT), dwAnswer);
        }
    }

    EXPECT_EQ(0x5AFEC0DEu, dwCanaryBefore);
    EXPECT_EQ(0xC0DE5AFEu, dwCanaryAfter);
    EXPECT_EQ(dwReports, log.dwCalls);
    EXPECT_EQ(0u, log.dwBadArgs);
    EXPECT_EQ(0u, log.dwFrameMoves);
    // The host's answer comes back through the same convention.
    EXPECT_EQ(1u, dwAborts);
    EXPECT_EQ(log.dwAbortAt, dwAbortCall);
    EXPECT_TRUE(host.Aborted());
    EXPECT_EQ(static_cast<__int64>(dwReports) * dwMiB, host.BytesDone());
}

} // namespace

#endif
