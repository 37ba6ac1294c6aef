// Revision 1.0 file comparison: the source's checksum, then the disc copy's,
// judged by the checksums alone. Answer 1 fails a pair; every other answer
// skips; nothing aborts.
#include "Korvane.h"

#if KORVANE_REVISION < 11

#include "LongPath.h"
#include "ReportBuffer.h"
#include "ZRLog.h"
#include "checksum/CRCHelper.h"

namespace {

const wchar_t kMsgNull[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) pFDesc = NULL !";
const wchar_t kMsgNoSource[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR source file %s not exist";
const wchar_t kMsgNoSourceTarget[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR source file %s not exist (Target file = %s";
const wchar_t kMsgNoTarget[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR target file %s not exist (source file = %s";
const wchar_t kMsgCrcSend[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR CRC FAILED Send file %s to KVX";
const wchar_t kMsgCrcFailed[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR CRC FAILED target file=%s / %xd and source file=%s / %x";
const wchar_t kMsgCrcOk[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) CRC OK target file=%s / %x and source file=%s / %x";

// What a checksum is taken to be when there is none to compute.
const DWORD kNoChecksum = 0xFFFFFFFF;

} // namespace

HRESULT CKorvane::CheckFileCRC(FDesc* pFDesc)
{
    const wchar_t* pszSource = pFDesc ? static_cast<const wchar_t*>(pFDesc->strFullPath) : nullptr;
    const wchar_t* pszTarget = pFDesc ? static_cast<const wchar_t*>(pFDesc->strTargetPath) : nullptr;
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::CheckFileCRC(FDesc *pFDesc) (Source File = %s / Target File = %s", pszSource, pszTarget);
    CCRCHelper crc;
    wchar_t szReport[MAX_PATH];
    auto log = [] { return CZRLog::GetInstance(); };
    auto leave = [&](HRESULT hr) { return log()->ExitFunction(hr); };
    auto report = [&](const wchar_t* pszPath, DWORD dwKind) {
        korvane::CopyToReportBuffer(szReport, pszPath);
        return m_lpCB(CRCVERIF_FILEERROR, szReport, dwKind, m_lpUserParam);
    };

    if (!pFDesc) {
        log()->AddError(kMsgNull);
        return leave(E_INVALIDARG);
    }

    // A missing source that the host skips leaves no checksum to match, so
    // an existing target is reported as differing rather than passed.
    DWORD dwSource = kNoChecksum;
    BOOL bSourceComputed = FALSE;
    if (korvane::FileExists(pszSource)) {
        dwSource =
            crc.ComputeFileCRC(&kvcrc::NO_READ_REPORTS, korvane::FileCallPath(pszSource), &bSourceComputed);
    } else {
        if (!m_lpCB) {
            log()->AddError(kMsgNoSource, pszSource);
            return leave(E_FAIL);
        }
        if (report(pszSource, CRCVERIF_ERROR_MISSING) == CRCVERIF_ANSWER_FAIL) {
            log()->AddError(kMsgNoSourceTarget, pszSource, pszTarget);
            return leave(E_FAIL);
        }
    }

    DWORD dwTarget = kNoChecksum;
    BOOL bTargetComputed = FALSE;
    if (korvane::FileExists(pszTarget)) {
        dwTarget =
            crc.ComputeFileCRC(&kvcrc::NO_READ_REPORTS, korvane::FileCallPath(pszTarget), &bTargetComputed);
    } else {
        if (!m_lpCB) {
            log()->AddError(kMsgNoTarget, pszTarget, pszSource);
            return leave(E_FAIL);
        }
        if (report(pszTarget, CRCVERIF_ERROR_MISSING) == CRCVERIF_ANSWER_FAIL) {
            log()->AddError(kMsgNoTarget, pszTarget, pszSource);
            return leave(E_FAIL);
        }
        return leave(S_OK);
    }

    // A checksum that could not be computed matches nothing.
    if (bSourceComputed && bTargetComputed && dwSource == dwTarget) {
        if (m_lpCB)
            m_lpCB(CRCVERIF_PROGRESS, nullptr, m_dwFileCount, m_lpUserParam);
        log()->AddInfo(kMsgCrcOk, pszTarget, dwTarget, pszSource, dwSource);
        return leave(S_OK);
    }
    if (!m_lpCB) {
        log()->AddError(kMsgCrcFailed, pszTarget, dwTarget, pszSource, dwSource);
        return leave(E_FAIL);
    }
    korvane::CopyToReportBuffer(szReport, pszSource);
    log()->AddError(kMsgCrcSend, szReport);
    if (m_lpCB(CRCVERIF_FILEERROR, szReport, CRCVERIF_ERROR_DIFFERS, m_lpUserParam) == CRCVERIF_ANSWER_FAIL) {
        log()->AddError(kMsgCrcFailed, pszTarget, dwTarget, pszSource, dwSource);
        return leave(E_FAIL);
    }
    return leave(S_OK);
}

#endif // KORVANE_REVISION < 11
