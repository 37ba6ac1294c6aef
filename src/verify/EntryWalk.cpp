#include "EntryWalk.h"

#include "DescriptionRules.h"
#include "NodeRef.h"
#include "ZRLog.h"

void CEntryWalk::FillEntry(CKorvane& k, TCHAR tchDrvLetter, IZRXmlNode* pNode, FDesc& desc,
                           CZRPathString& strScratch, CZRString& strName)
{
    // The accessors' results are not examined: a missing element reads as
    // empty text or 0, and the entry is compared with that.
    k.GetFileAttribute(desc.dwAttribute, pNode);
    k.GetFileSize(desc.iSize, pNode);
    k.GetFileFullPath(desc.strFullPath, pNode);
    k.GetFilePath(desc.strPath, pNode);
    kvdesc::EntrySource(desc.strFullPath, desc.dwAttribute);
    k.GetFileTargetPath(strScratch, pNode);
    // A folder's name is part of its TargetPath: it is not read.
    if (!kvdesc::IsFolderEntry(desc.dwAttribute))
        k.GetFileName(strName, pNode);
    kvdesc::EntryTarget(desc.strTargetPath, tchDrvLetter, strScratch, desc.dwAttribute, strName);
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
    CZRString strName;
    FDesc desc;
    korvane::NodeRef node;
    int iNext = 1;

    kvdesc::EntryQuery(strQuery, iNext++);
    HRESULT hrQuery = k.m_pXml->GetNode(strQuery, node.Out());
    while (SUCCEEDED(hrQuery) && node) {
        FillEntry(k, tchDrvLetter, node.Get(), desc, strScratch, strName);
        if (kvdesc::IsFolderEntry(desc.dwAttribute)) {
            const HRESULT hr = k.CheckDirCRC(&desc);
            if (FAILED(hr)) {
                CZRLog::GetInstance()->AddError(
                    L"CKorvane::VerifyBurning CheckDirCRC FAILED pNode FullPath = %s",
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
        kvdesc::EntryQuery(strQuery, iNext++);
        hrQuery = k.m_pXml->GetNode(strQuery, node.Out());
    }
    // Only a missing node is the end of the entries; a query that fails
    // otherwise leaves this entry and the rest unchecked.
    if (hrQuery != ZRXML_E_NOTFOUND) {
        CZRLog::GetInstance()->AddError(L"CKorvane::VerifyBurning(...) Get node %s FAILED (0x%08X)",
                                        static_cast<const wchar_t*>(strQuery),
                                        static_cast<unsigned int>(hrQuery));
        return E_FAIL;
    }
    if (k.m_lpCB)
        k.m_lpCB(CRCVERIF_END, nullptr, k.m_dwFileCount, k.m_lpUserParam);
    return S_OK;
}

namespace korvane {

DWORD TotalWorkMiB(__int64 iMediaSize)
{
    // Doubled in unsigned arithmetic: a size past 2^62 wraps instead of
    // overflowing.
    const __int64 iTwice = static_cast<__int64>(static_cast<ULONGLONG>(iMediaSize) * 2u);
    return static_cast<DWORD>(iTwice / 0x100000);
}

} // namespace korvane
