// The driver: the description's path, then its load, the announced work and
// the walk of its entries. The revisions order these differently, so each
// has its own pair of functions.
#include "Korvane.h"

#include "DescriptionRules.h"
#include "EntryWalk.h"
#include "LongPath.h"
#include "ZRLog.h"

#if KORVANE_REVISION >= 11

// Revision 1.1: load, count, announce twice the media size in MiB, walk the
// entries. Nothing escapes into the host.

HRESULT CKorvane::VerifyBurning(TCHAR tchDrvLetter, int iNumber, LPCTSTR strFilePath, CRCVERIFCB lpCB,
                                LPVOID lpUserParam)
{
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::VerifyBurning(TCHAR tchDrvLetter=%c,int iNumber=%d,LPCTSTR "
        L"strFilePath=%s,CRCVERIFCB lpCB,LPVOID lpUserParam)",
        tchDrvLetter, iNumber, strFilePath);
    CZRString strXMLFilePath;
    try {
        m_bAbortVerif = FALSE;
        kvdesc::DescriptionPath(strXMLFilePath, iNumber, strFilePath);
        return CZRLog::GetInstance()->ExitFunction(
            VerifyBurning(tchDrvLetter, strXMLFilePath, lpCB, lpUserParam));
    } catch (...) {
        // Nothing may escape into the host.
        return CZRLog::GetInstance()->ExitFunction(E_NOTIMPL);
    }
}

HRESULT CKorvane::VerifyBurning(TCHAR tchDrvLetter, LPCTSTR strXMLFilePath, CRCVERIFCB lpCB,
                                LPVOID lpUserParam)
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::VerifyBurning(TCHAR tchDrvLetter=%c,LPCTSTR "
                                         L"strXMLFilePath=%s,CRCVERIFCB lpCB,LPVOID lpUserParam)",
                                         tchDrvLetter, strXMLFilePath);
    const HRESULT hrOpen = CEntryWalk::Open(*this, strXMLFilePath, lpCB, lpUserParam);
    if (hrOpen != S_OK)
        return CZRLog::GetInstance()->ExitFunction(hrOpen);
    if (FAILED(m_pXml->LoadFile(korvane::FileCallPath(strXMLFilePath)))) {
        CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning(...) Open XML rules file %s FAILED",
                                        strXMLFilePath);
        return CZRLog::GetInstance()->ExitFunction(E_FAIL);
    }
    m_dwFileCount = GetFileCount(strXMLFilePath);
    m_bAbortVerif = FALSE;
    m_llBytesDone = 0;
    const DWORD dwTotal = korvane::TotalWorkMiB(GetMediaSize(strXMLFilePath));
    if (m_lpCB)
        m_lpCB(CRCVERIF_BEGIN, nullptr, dwTotal, m_lpUserParam);
    m_dwLastMiB = 0;
    return CZRLog::GetInstance()->ExitFunction(CEntryWalk::Run(*this, tchDrvLetter));
}

#else

// Revision 1.0: count, announce the file count, then load and walk. No abort
// flag, no media size, and an exception reaches the host.

HRESULT CKorvane::VerifyBurning(TCHAR tchDrvLetter, int iNumber, LPCTSTR strFilePath, CRCVERIFCB lpCB,
                                LPVOID lpUserParam)
{
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::VerifyBurning(TCHAR tchDrvLetter=%c,int iNumber=%d,LPCTSTR "
        L"strFilePath=%s,CRCVERIFCB lpCB,LPVOID lpUserParam)",
        tchDrvLetter, iNumber, strFilePath);
    CZRString strXMLFilePath;
    kvdesc::DescriptionPath(strXMLFilePath, iNumber, strFilePath);
    return CZRLog::GetInstance()->ExitFunction(
        VerifyBurning(tchDrvLetter, strXMLFilePath, lpCB, lpUserParam));
}

HRESULT CKorvane::VerifyBurning(TCHAR tchDrvLetter, LPCTSTR strXMLFilePath, CRCVERIFCB lpCB,
                                LPVOID lpUserParam)
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::VerifyBurning(TCHAR tchDrvLetter=%c,LPCTSTR "
                                         L"strXMLFilePath=%s,CRCVERIFCB lpCB,LPVOID lpUserParam)",
                                         tchDrvLetter, strXMLFilePath);
    const HRESULT hrOpen = CEntryWalk::Open(*this, strXMLFilePath, lpCB, lpUserParam);
    if (hrOpen != S_OK)
        return CZRLog::GetInstance()->ExitFunction(hrOpen);
    m_dwFileCount = GetFileCount(strXMLFilePath);
    if (m_lpCB)
        m_lpCB(CRCVERIF_BEGIN, nullptr, m_dwFileCount, m_lpUserParam);
    if (FAILED(m_pXml->LoadFile(korvane::FileCallPath(strXMLFilePath)))) {
        CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning(...) Open XML rules file %s FAILED",
                                        strXMLFilePath);
        return CZRLog::GetInstance()->ExitFunction(E_FAIL);
    }
    return CZRLog::GetInstance()->ExitFunction(CEntryWalk::Run(*this, tchDrvLetter));
}

#endif
