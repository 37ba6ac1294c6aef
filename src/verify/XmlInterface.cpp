#include "XmlInterface.h"

#include "ZRLog.h"

namespace korvane {

IZRXml* AcquireXml()
{
    IZRXml* pXml = GetZRXmlInterface(XML_TYPE_LIBRARY_CORE);
    if (!pXml)
        CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning(...) FAILED to get XML Interface");
    return pXml;
}

} // namespace korvane
