// Progress accounting (revision 1.1): bytes read by the checksum become
// whole-MiB reports. Revision 1.0 reports nothing while reading.
#include "Progress.h"

#if KORVANE_REVISION >= 11

#include "ZRLog.h"

namespace {

const __int64 kBytesPerMiB = 0x100000;

void ReportRead(void* pContext, DWORD dwRead)
{
    // An abort answer only raises m_bAbortVerif, which the file comparison
    // tests once the whole file has been read.
    static_cast<CKorvane*>(pContext)->CBProgress(0, nullptr, dwRead, nullptr);
}

} // namespace

kvcrc::ReadSink korvane::ProgressSink(CKorvane& verifier)
{
    return {&ReportRead, &verifier};
}

DWORD CKorvane::CBProgress(UINT /*uiCmd*/, LPVOID /*pParam1*/, DWORD dwParam2, LPVOID /*pPraram3*/)
{
    m_llBytesDone += dwParam2;
    const DWORD dwMiB = static_cast<DWORD>(m_llBytesDone / kBytesPerMiB);
    if (dwMiB <= m_dwLastMiB)
        return 0;
    m_dwLastMiB = dwMiB;
    if (!m_lpCB)
        return 0;
    if (m_lpCB(CRCVERIF_PROGRESS, nullptr, dwMiB, m_lpUserParam) != CRCVERIF_ANSWER_ABORT)
        return 0;
    m_bAbortVerif = TRUE;
    CZRLog::GetInstance()->AddInfo(L"CKorvane::CBProgress(UINT uiCmd,LPVOID pParam1,DWORD dwParam2,LPVOID "
                                   L"pPraram3) Abort Verification !!!!!!");
    return static_cast<DWORD>(E_ABORT);
}

#endif // KORVANE_REVISION >= 11
