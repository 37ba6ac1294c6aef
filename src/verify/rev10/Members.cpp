// Construction and copying of the revision 1.0 object: four members.
#include "Korvane.h"

#include "XmlInterface.h"
#include "ZRLog.h"

CKorvane::CKorvane() : m_pXml(nullptr), m_dwFileCount(0), m_lpCB(nullptr), m_lpUserParam(nullptr)
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::CKorvane()");
    m_pXml = korvane::AcquireXml();
    CZRLog::GetInstance()->ExitFunction(L"CKorvane::CKorvane()");
}

CKorvane::CKorvane(const CKorvane& other)
    : m_pXml(korvane::ShareXml(other.m_pXml)), m_dwFileCount(other.m_dwFileCount), m_lpCB(other.m_lpCB),
      m_lpUserParam(other.m_lpUserParam)
{
}

CKorvane& CKorvane::operator=(const CKorvane& other)
{
    korvane::ReplaceXml(m_pXml, other.m_pXml);
    m_dwFileCount = other.m_dwFileCount;
    m_lpCB = other.m_lpCB;
    m_lpUserParam = other.m_lpUserParam;
    return *this;
}
