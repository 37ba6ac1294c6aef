// Revision 1.1 file comparison: lookups, sizes, the disc copy's checksum,
// command 4, the source's checksum; every problem goes to the host, whose
// answer skips it, fails the pair or aborts the run.
#include "Korvane.h"

#if KORVANE_REVISION >= 11

#include "FileLookup.h"
#include "LongPath.h"
#include "Progress.h"
#include "ReportBuffer.h"
#include "ZRLog.h"
#include "checksum/CRCHelper.h"

namespace {

const wchar_t kMsgNull[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) pFDesc = NULL !";
const wchar_t kMsgAbortTarget[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) Abort Verification";
const wchar_t kMsgNoTarget[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR target file %s not exist (source file = %s";
const wchar_t kMsgAbortSource[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) Abort Verification !!!!!";
const wchar_t kMsgNoSourceTarget[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR source file %s not exist (Target file = %s";
const wchar_t kMsgNoSource[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR source file %s not exist";
const wchar_t kMsgSizeSend[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR Size are different Send file %s to KVX";
const wchar_t kMsgAbort[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) Abort Verification !!!!!!";
const wchar_t kMsgSizes[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR Size are different : Target file %s "
    L"(Size=%lld) AND source file = %s (Size=%lld";
const wchar_t kMsgSkip[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) Skip Error";
const wchar_t kMsgAbortFlag[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) m_bAbortVerif = TRUE Abort Verification !!!!!!";
const wchar_t kMsgCrcSend[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR CRC FAILED Send file %s to KVX";
const wchar_t kMsgCrcSizes[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR CRC FAILED target file=%s "
                               L"(Size=%lld) / %xd and source file=%s (Size=%lld) / %x";
const wchar_t kMsgSourceTime[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR CRC FAILED Source file Last "
                                 L"modification %d/%d/%d %dH%dmn%ds";
const wchar_t kMsgTargetTime[] = L"CKorvane::CheckFileCRC(FDesc *pFDesc) ERROR CRC FAILED target file Last "
                                 L"modification %d/%d/%d %dH%dmn%ds";
const wchar_t kMsgCrcOk[] =
    L"CKorvane::CheckFileCRC(FDesc *pFDesc) CRC OK target file=%s / %x and source file=%s / %x";

// What became of one file's checksum.
struct Checksum {
    DWORD dwValue = 0;
    BOOL bComputed = FALSE; // read from start to end; otherwise it never matches
};

} // namespace

HRESULT CKorvane::CheckFileCRC(FDesc* pFDesc)
{
    const wchar_t* pszSource = pFDesc ? static_cast<const wchar_t*>(pFDesc->strFullPath) : nullptr;
    const wchar_t* pszTarget = pFDesc ? static_cast<const wchar_t*>(pFDesc->strTargetPath) : nullptr;
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::CheckFileCRC(FDesc *pFDesc) (Source File = %s / Target File = %s", pszSource, pszTarget);

    __int64 iTargetSize = 0;
    __int64 iSourceSize = 0;
    SYSTEMTIME stTarget = {};
    SYSTEMTIME stSource = {};
    Checksum target;
    Checksum source;
    WIN32_FIND_DATAW fd = {};
    wchar_t szReport[MAX_PATH];
    CCRCHelper crc;
    const kvcrc::ReadSink progress = korvane::ProgressSink(*this);

    auto log = [] { return CZRLog::GetInstance(); };
    auto leave = [&](HRESULT hr) { return log()->ExitFunction(hr); };
    // Copies the path into the report buffer and sends command 3.
    auto report = [&](const wchar_t* pszPath, DWORD dwKind) {
        korvane::CopyToReportBuffer(szReport, pszPath);
        return m_lpCB(CRCVERIF_FILEERROR, szReport, dwKind, m_lpUserParam);
    };
    // The target missing, at its lookup or at its checksum. S_FALSE: go on.
    auto targetMissing = [&]() -> HRESULT {
        if (!m_lpCB) {
            log()->AddError(kMsgNoTarget, pszTarget, pszSource);
            return E_FAIL;
        }
        const DWORD dwAnswer = report(pszTarget, CRCVERIF_ERROR_MISSING);
        if (dwAnswer == CRCVERIF_ANSWER_ABORT) {
            log()->AddInfo(kMsgAbortTarget);
            return E_ABORT;
        }
        if (dwAnswer == CRCVERIF_ANSWER_FAIL) {
            log()->AddError(kMsgNoTarget, pszTarget, pszSource);
            return E_FAIL;
        }
        return S_FALSE;
    };
    // The source missing; hrSkip is what a skip leads to.
    auto sourceMissing = [&](HRESULT hrSkip) -> HRESULT {
        if (!m_lpCB) {
            log()->AddError(kMsgNoSource, pszSource);
            return E_FAIL;
        }
        const DWORD dwAnswer = report(pszSource, CRCVERIF_ERROR_MISSING);
        if (dwAnswer == CRCVERIF_ANSWER_ABORT) {
            log()->AddInfo(kMsgAbortSource);
            return E_ABORT;
        }
        if (dwAnswer == CRCVERIF_ANSWER_FAIL) {
            log()->AddError(kMsgNoSourceTarget, pszSource, pszTarget);
            return E_FAIL;
        }
        return hrSkip;
    };
    auto checksum = [&](const wchar_t* pszPath, Checksum& result) {
        result.dwValue = crc.ComputeFileCRC(&progress, korvane::FileCallPath(pszPath), &result.bComputed);
    };
    auto mismatchDetails = [&] {
        log()->AddError(kMsgCrcSizes, pszTarget, iTargetSize, target.dwValue, pszSource, iSourceSize,
                        source.dwValue);
        log()->AddError(kMsgSourceTime, stSource.wDay, stSource.wMonth, stSource.wYear, stSource.wHour,
                        stSource.wMinute, stSource.wSecond);
        log()->AddError(kMsgTargetTime, stTarget.wDay, stTarget.wMonth, stTarget.wYear, stTarget.wHour,
                        stTarget.wMinute, stTarget.wSecond);
    };

    if (!pFDesc) {
        log()->AddError(kMsgNull);
        return leave(E_INVALIDARG);
    }

    if (!korvane::LookUpFile(pszTarget, fd, iTargetSize, stTarget)) {
        const HRESULT hr = targetMissing();
        if (hr != S_FALSE)
            return leave(hr);
    }
    if (!korvane::LookUpFile(pszSource, fd, iSourceSize, stSource)) {
        const HRESULT hr = sourceMissing(S_FALSE);
        if (hr != S_FALSE)
            return leave(hr);
    }

    if (iTargetSize != iSourceSize) {
        if (!m_lpCB) {
            log()->AddError(kMsgSizes, pszTarget, iTargetSize, pszSource, iSourceSize);
            return leave(E_FAIL);
        }
        korvane::CopyToReportBuffer(szReport, pszSource);
        log()->AddError(kMsgSizeSend, szReport);
        const DWORD dwAnswer = m_lpCB(CRCVERIF_FILEERROR, szReport, CRCVERIF_ERROR_DIFFERS, m_lpUserParam);
        if (dwAnswer == CRCVERIF_ANSWER_ABORT) {
            log()->AddInfo(kMsgAbort);
            return leave(E_ABORT);
        }
        if (dwAnswer == CRCVERIF_ANSWER_FAIL) {
            log()->AddError(kMsgSizes, pszTarget, iTargetSize, pszSource, iSourceSize);
            return leave(E_FAIL);
        }
        log()->AddInfo(kMsgSkip);
        return leave(S_OK);
    }

    if (korvane::FileExists(pszTarget)) {
        checksum(pszTarget, target);
        if (m_bAbortVerif) {
            log()->AddInfo(kMsgAbortFlag);
            return leave(E_ABORT);
        }
    } else {
        const HRESULT hr = targetMissing();
        if (hr != S_FALSE)
            return leave(hr);
    }

    if (m_lpCB && m_lpCB(CRCVERIF_TARGETDONE, nullptr, 0, m_lpUserParam) == CRCVERIF_ANSWER_ABORT) {
        log()->AddInfo(kMsgAbort);
        return leave(E_ABORT);
    }

    if (korvane::FileExists(pszSource)) {
        checksum(pszSource, source);
        if (m_bAbortVerif) {
            log()->AddInfo(kMsgAbortFlag);
            return leave(E_ABORT);
        }
    } else {
        return leave(sourceMissing(S_OK));
    }

    // A checksum that could not be computed matches nothing, not even
    // another one that could not be computed.
    if (target.bComputed && source.bComputed && target.dwValue == source.dwValue) {
        log()->AddInfo(kMsgCrcOk, pszTarget, target.dwValue, pszSource, source.dwValue);
        return leave(S_OK);
    }
    if (!m_lpCB) {
        mismatchDetails();
        return leave(E_FAIL);
    }
    korvane::CopyToReportBuffer(szReport, pszSource);
    log()->AddError(kMsgCrcSend, szReport);
    const DWORD dwAnswer = m_lpCB(CRCVERIF_FILEERROR, szReport, CRCVERIF_ERROR_DIFFERS, m_lpUserParam);
    if (dwAnswer == CRCVERIF_ANSWER_ABORT) {
        log()->AddInfo(kMsgAbort);
        return leave(E_ABORT);
    }
    if (dwAnswer == CRCVERIF_ANSWER_FAIL) {
        mismatchDetails();
        return leave(E_FAIL);
    }
    return leave(S_OK);
}

#endif // KORVANE_REVISION >= 11
