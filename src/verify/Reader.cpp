// The media description reader: the file count and the fields of one FILE
// entry. (The media size, revision 1.1 only, is in MediaSize.cpp.)
#include "Korvane.h"

#include "Decimal.h"
#include "DescriptionRules.h"
#include "InfoReader.h"
#include "NodeRef.h"
#include "ZRLog.h"

using korvane::NodeRef;

DWORD CKorvane::GetFileCount(LPCTSTR strXMLFilePath)
{
    CZRLog::GetInstance()->EnterFunction(L"GetFileCount(LPCTSTR strXMLFilePath=%s)", strXMLFilePath);
    static const korvane::InfoTexts kTexts = {
        kvdesc::kFileCount,
        L"CKorvane::GetFileCount(...) No XML File strXMLFilePath = NULL !",
        L"CKorvane::GetFileCount(...) No XML Interface",
        L"CKorvane::GetFileCount(...) Open XML Media file %s FAILED",
        L"CKorvane::GetFileCount(...) Get Info node in XML media file %s FAILED",
        L"CKorvane::GetFileCount(...) Get Media_NumberFiles FAILED",
    };
    DWORD dwCount = 0;
    NodeRef child;
    if (korvane::FindInfoChild(m_pXml, strXMLFilePath, kTexts, child))
        dwCount = static_cast<DWORD>(child->GetIntValue());
    return CZRLog::GetInstance()->ExitFunction(dwCount);
}

HRESULT CKorvane::GetFileChild(CZRString& strValue, IZRXmlNode* pRuleNode, LPCTSTR strChildName)
{
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::GetFileChild(IZRXmlNode *pRuleNode,LPCTSTR strChildName=%s)", strChildName);
    strValue.Empty();
    HRESULT hr = S_OK;
    if (!pRuleNode) {
        CZRLog::GetInstance()->AddError(L"CKorvane::GetFileChild(IZRXmlNode *Node) ERROR pNode=NULL");
        hr = E_FAIL;
    } else {
        const int iCount = pRuleNode->GetChildCount();
        // One string for every child's name: most fit the block of the one
        // before, so looking at a child allocates nothing for its name.
        CZRString strName;
        for (int i = 0; i < iCount; ++i) {
            NodeRef child;
            if (FAILED(pRuleNode->GetChildAt(i, child.Out())) || !child) {
                CZRLog::GetInstance()->AddError(L"CKorvane::GetFileChild(...) GetChildAt %d FAILED", i);
                hr = E_FAIL;
                break;
            }
            if (!korvane::TakeBstr(child->GetName(), strName)) {
                CZRLog::GetInstance()->AddError(L"CKorvane::GetFileChild(...) GetName FAILED");
                hr = E_FAIL;
                break;
            }
            if (strName.CompareNoCase(strChildName ? strChildName : L"") != 0)
                continue;
            if (korvane::TakeBstr(child->GetText(), strValue))
                break;
            CZRLog::GetInstance()->AddError(L"CKorvane::GetFileChild(...) GetText on node %s FAILED",
                                            static_cast<const wchar_t*>(strName));
        }
    }
    return CZRLog::GetInstance()->ExitFunction(hr);
}

HRESULT CKorvane::GetFileFullPath(CZRPathString& strFullPath, IZRXmlNode* pNode)
{
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::GetFileFullPath(CZRPathString& strFullPath,IZRXmlNode *pNode)");
    CZRString strText;
    const HRESULT hr = GetFileChild(strText, pNode, kvdesc::kFullPath);
    strFullPath = static_cast<const wchar_t*>(strText);
    return CZRLog::GetInstance()->ExitFunction(hr);
}

HRESULT CKorvane::GetFilePath(CZRString& strFilePath, IZRXmlNode* pNode)
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::GetFilePath(CZRString& strFilePath, IZRXmlNode *pNode)");
    return CZRLog::GetInstance()->ExitFunction(GetFileChild(strFilePath, pNode, kvdesc::kPath));
}

HRESULT CKorvane::GetFileTargetPath(CZRPathString& strTargetPath, IZRXmlNode* pNode)
{
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::GetFileTargetPath(CZRPathString& strTargetPath, IZRXmlNode *pNode)");
    CZRString strText;
    const HRESULT hr = GetFileChild(strText, pNode, kvdesc::kTargetPath);
    strTargetPath = static_cast<const wchar_t*>(strText);
    return CZRLog::GetInstance()->ExitFunction(hr);
}

HRESULT CKorvane::GetFileName(CZRString& strFileName, IZRXmlNode* pNode)
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::GetFileName(CZRString& strFileName, IZRXmlNode *pNode)");
    return CZRLog::GetInstance()->ExitFunction(GetFileChild(strFileName, pNode, kvdesc::kName));
}

HRESULT CKorvane::GetFileAttribute(DWORD& dwAttribute, IZRXmlNode* pNode)
{
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::GetFileAttribute(DWORD& dwAttribute, IZRXmlNode *pNode)");
    CZRString strText;
    const HRESULT hr = GetFileChild(strText, pNode, kvdesc::kAttribute);
    if (SUCCEEDED(hr))
        dwAttribute = korvane::DecimalToDword(strText);
    return CZRLog::GetInstance()->ExitFunction(hr);
}

HRESULT CKorvane::GetFileExclusion(DWORD& dwExclusion, IZRXmlNode* pNode)
{
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::GetFileExclusion(DWORD& dwExclusion, IZRXmlNode *pNode)");
    CZRString strText;
    const HRESULT hr = GetFileChild(strText, pNode, kvdesc::kExclusion);
    if (SUCCEEDED(hr))
        dwExclusion = korvane::DecimalToDword(strText);
    return CZRLog::GetInstance()->ExitFunction(hr);
}

HRESULT CKorvane::GetFileWriteTime(CZRString& strWriteTime, IZRXmlNode* pNode)
{
    CZRLog::GetInstance()->EnterFunction(
        L"CKorvane::GetFileWriteTime(CZRString& strWriteTime, IZRXmlNode *pNode)");
    return CZRLog::GetInstance()->ExitFunction(GetFileChild(strWriteTime, pNode, kvdesc::kWriteTime));
}

HRESULT CKorvane::GetFileSize(__int64& iSize, IZRXmlNode* pNode)
{
    CZRLog::GetInstance()->EnterFunction(L"CKorvane::GetFileSize(__int64& iSize, IZRXmlNode *pNode)");
    CZRString strText;
    const HRESULT hr = GetFileChild(strText, pNode, kvdesc::kFileSize);
    if (SUCCEEDED(hr))
        iSize = korvane::DecimalToInt64(strText);
    return CZRLog::GetInstance()->ExitFunction(hr);
}
