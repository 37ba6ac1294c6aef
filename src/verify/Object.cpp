// CKorvane's lifetime operations shared by both revisions, and FDesc.
#include "Korvane.h"

#include "ZRLog.h"

CKorvane::~CKorvane()
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::~CKorvane()");
    if (m_pXml)
        m_pXml->Release();
    CZRLog::GetInstance()->ExitFunction(L"CKorvane::~CKorvane()");
}

FDesc::FDesc() : dwAttribute(0), iSize(0) {}

FDesc::FDesc(const FDesc& other)
    : strFullPath(other.strFullPath), strPath(other.strPath), strTargetPath(other.strTargetPath),
      dwAttribute(other.dwAttribute), strWriteTime(other.strWriteTime), iSize(other.iSize)
{
}

FDesc& FDesc::operator=(const FDesc& other)
{
    strFullPath = other.strFullPath;
    strPath = other.strPath;
    strTargetPath = other.strTargetPath;
    dwAttribute = other.dwAttribute;
    strWriteTime = other.strWriteTime;
    iSize = other.iSize;
    return *this;
}

FDesc::~FDesc() = default;
