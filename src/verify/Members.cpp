// Construction and copying of the object: every member Korvane.h declares
// for the revision, under the same conditions.
#include "Korvane.h"

#include "XmlInterface.h"
#include "ZRLog.h"

CKorvane::CKorvane()
    : m_pXml(nullptr), m_dwFileCount(0),
#if KORVANE_REVISION >= 11
      m_llBytesDone(0), m_dwLastMiB(0), m_bAbortVerif(FALSE),
#endif
      m_lpCB(nullptr), m_lpUserParam(nullptr)
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::CKorvane()");
    m_pXml = korvane::AcquireXml();
    CZRLog::GetInstance()->ExitFunction(L"CKorvane::CKorvane()");
}

CKorvane::CKorvane(const CKorvane& other)
    : m_pXml(korvane::ShareXml(other.m_pXml)), m_dwFileCount(other.m_dwFileCount),
#if KORVANE_REVISION >= 11
      m_llBytesDone(other.m_llBytesDone), m_dwLastMiB(other.m_dwLastMiB), m_bAbortVerif(other.m_bAbortVerif),
#endif
      m_lpCB(other.m_lpCB), m_lpUserParam(other.m_lpUserParam)
{
}

CKorvane& CKorvane::operator=(const CKorvane& other)
{
    korvane::ReplaceXml(m_pXml, other.m_pXml);
    m_dwFileCount = other.m_dwFileCount;
#if KORVANE_REVISION >= 11
    m_llBytesDone = other.m_llBytesDone;
    m_dwLastMiB = other.m_dwLastMiB;
    m_bAbortVerif = other.m_bAbortVerif;
#endif
    m_lpCB = other.m_lpCB;
    m_lpUserParam = other.m_lpUserParam;
    return *this;
}
