#include "EntryWalk.h"

#include "NodeRef.h"
#include "ZRLog.h"

void CEntryWalk::FillEntry(CKorvane& k, TCHAR tchDrvLetter, IZRXmlNode* pNode, FDesc& desc,
                           CZRPathString& strScratch)
{
    // The accessors' results are not examined: a missing element reads as
    // empty text or 0, and the entry is compared with that.
    k.GetFileAttribute(desc.dwAttribute, pNode);
    k.GetFileSize(desc.iSize, pNode);
    k.GetFileFullPath(desc.strFullPath, pNode);
    k.GetFilePath(desc.strPath, pNode);
    int iPos = 0;
    if (desc.strFullPath.Find(L"*.*", &iPos, 0))
        desc.strFullPath.Replace(L"*.*", L"");
    k.GetFileTargetPath(strScratch, pNode);
    desc.strTargetPath.Format(L"%c:%s", tchDrvLetter, static_cast<const wchar_t*>(strScratch));
    desc.strTargetPath.AddBackslash();
    if (!(desc.dwAttribute & FILE_ATTRIBUTE_DIRECTORY)) {
        k.GetFileName(strScratch, pNode);
        desc.strTargetPath += strScratch;
    }
    k.GetFileWriteTime(desc.strWriteTime, pNode);
}

HRESULT CEntryWalk::Open(CKorvane& k, LPCTSTR strXMLFilePath, CRCVERIFCB lpCB, LPVOID lpUserParam)
{
    if (!strXMLFilePath) {
        CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning(...) No XML File strXMLFilePath = NULL !");
        return E_INVALIDARG;
    }
    k.m_lpUserParam = lpUserParam;
    k.m_lpCB = lpCB;
    if (!k.m_pXml) {
        CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning(...) No XML Interface");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CEntryWalk::Run(CKorvane& k, TCHAR tchDrvLetter)
{
    CZRString strQuery;
    CZRPathString strScratch;
    FDesc desc;
    korvane::NodeRef node;
    int iNext = 1;

    strQuery.Format(L"/Factory/FILE[%d]", iNext++);
    HRESULT hrQuery = k.m_pXml->GetNode(strQuery, node.Out());
    while (SUCCEEDED(hrQuery) && node) {
        FillEntry(k, tchDrvLetter, node.Get(), desc, strScratch);
        if (desc.dwAttribute & FILE_ATTRIBUTE_DIRECTORY) {
            desc.strFullPath.RemoveFileSpec();
            const HRESULT hr = k.CheckDirCRC(&desc);
            if (FAILED(hr)) {
                CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning CheckDirCRC FAILED pNode FullPath = %s",
                                                static_cast<const wchar_t*>(desc.strFullPath));
                return hr;
            }
        } else {
            const HRESULT hr = k.CheckFileCRC(&desc);
            if (FAILED(hr)) {
                CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning CheckFileCRC FAILED FullPath = %s",
                                                static_cast<const wchar_t*>(desc.strFullPath));
                return hr;
            }
        }
        node.Reset();
        strQuery.Format(L"/Factory/FILE[%d]", iNext++);
        hrQuery = k.m_pXml->GetNode(strQuery, node.Out());
    }
    // Only a missing node is the end of the entries; a query that fails
    // otherwise leaves this entry and the rest unchecked.
    if (hrQuery != ZRXML_E_NOTFOUND) {
        CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning(...) Get node %s FAILED (0x%08X)",
                                        static_cast<const wchar_t*>(strQuery), static_cast<unsigned int>(hrQuery));
        return E_FAIL;
    }
    if (k.m_lpCB)
        k.m_lpCB(CRCVERIF_END, nullptr, k.m_dwFileCount, k.m_lpUserParam);
    return S_OK;
}

namespace korvane {

void DescriptionPath(CZRString& strOut, int iNumber, LPCTSTR strFilePath)
{
    if (!strFilePath) {
        strOut.Format(L"c:\\Temp\\Media%i.xml", iNumber);
        return;
    }
    CZRPathString strFolder(strFilePath);
    strFolder.RemoveBackslash();
    strOut.Format(L"%s\\Media%i.xml", static_cast<const wchar_t*>(strFolder), iNumber);
}

DWORD TotalWorkMiB(__int64 iMediaSize)
{
    // Doubled in unsigned arithmetic: a size past 2^62 wraps instead of
    // overflowing.
    const __int64 iTwice = static_cast<__int64>(static_cast<ULONGLONG>(iMediaSize) * 2u);
    return static_cast<DWORD>(iTwice / 0x100000);
}

} // namespace korvane
