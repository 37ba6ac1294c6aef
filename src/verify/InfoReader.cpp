#include "InfoReader.h"

#include "DescriptionRules.h"
#include "ZRLog.h"

namespace korvane {

BOOL FindInfoChild(IZRXml* pXml, LPCTSTR pszPath, const InfoTexts& texts, NodeRef& child)
{
    if (!pszPath) {
        CZRLog::GetInstance()->AddError(texts.pszNoPath);
        return FALSE;
    }
    if (!pXml) {
        CZRLog::GetInstance()->AddError(texts.pszNoXml);
        return FALSE;
    }
    if (FAILED(pXml->LoadFile(pszPath))) {
        CZRLog::GetInstance()->AddError(texts.pszNoLoad, pszPath);
        return FALSE;
    }
    NodeRef info;
    if (FAILED(pXml->GetNode(kvdesc::kInfoNode, info.Out())) || !info) {
        CZRLog::GetInstance()->AddError(texts.pszNoInfo, pszPath);
        return FALSE;
    }
    if (FAILED(info->GetChild(texts.pszChild, child.Out())) || !child) {
        CZRLog::GetInstance()->AddError(texts.pszNoChild);
        return FALSE;
    }
    return TRUE;
}

} // namespace korvane
