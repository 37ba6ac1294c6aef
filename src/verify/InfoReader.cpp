#include "InfoReader.h"

#include "DescriptionRules.h"
#include "LongPath.h"
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
    // A long path goes to the reader as the file calls take it; messages keep it as given.
    if (FAILED(pXml->LoadFile(FileCallPath(pszPath)))) {
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
