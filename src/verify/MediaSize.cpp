// The medium's size in bytes: revision 1.1 announces twice it as the work.
// Revision 1.0 has no media size.
#include "Korvane.h"

#if KORVANE_REVISION >= 11

#include "DescriptionRules.h"
#include "InfoReader.h"
#include "ZRLog.h"

__int64 CKorvane::GetMediaSize(LPCTSTR strXMLFilePath)
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::GetMediaSize(LPCTSTR strXMLFilePath=%s)",
                                         strXMLFilePath);
    static const korvane::InfoTexts kTexts = {
        kvdesc::kMediaSize,
        L"CKorvane::GetMediaSize(...) No XML File strXMLFilePath = NULL !",
        L"CKorvane::GetMediaSize(...) No XML Interface",
        L"CKorvane::GetMediaSize(...) Open XML Media file %s FAILED",
        L"CKorvane::GetMediaSize(...) Get Info node in XML media file %s FAILED",
        L"CKorvane::GetMediaSize(...) Get Media_Size FAILED",
    };
    korvane::NodeRef child;
    if (!korvane::FindInfoChild(m_pXml, strXMLFilePath, kTexts, child)) {
        CZRLog::GetInstance()->ExitFunction(0);
        return 0;
    }
    const __int64 iSize = child->GetInt64Value();
    return CZRLog::GetInstance()->ExitFunction(iSize);
}

#endif // KORVANE_REVISION >= 11
