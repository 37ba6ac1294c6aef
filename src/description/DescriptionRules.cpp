#include "DescriptionRules.h"

namespace kvdesc {

void DescriptionPath(CZRString& strOut, int iNumber, const wchar_t* pszFolder)
{
    if (!pszFolder) {
        strOut.Format(L"c:\\Temp\\Media%i.xml", iNumber);
        return;
    }
    CZRPathString strFolder(pszFolder);
    strFolder.RemoveBackslash();
    strOut.Format(L"%s\\Media%i.xml", static_cast<const wchar_t*>(strFolder), iNumber);
}

std::wstring DescriptionPath(const std::wstring& strFolder, int iNumber)
{
    CZRString strPath;
    DescriptionPath(strPath, iNumber, strFolder.c_str());
    return static_cast<const wchar_t*>(strPath);
}

std::wstring DescriptionFileName(int iNumber)
{
    CZRString strName;
    strName.Format(L"Media%i.xml", iNumber);
    return static_cast<const wchar_t*>(strName);
}

void EntryQuery(CZRString& strOut, int iNumber)
{
    strOut.Format(kEntryQuery, iNumber);
}

bool IsFolderEntry(DWORD dwAttribute)
{
    return (dwAttribute & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void EntrySource(CZRPathString& strFullPath, DWORD dwAttribute)
{
    int iPos = 0;
    if (strFullPath.Find(kEveryFile, &iPos, 0))
        strFullPath.Replace(kEveryFile, L"");
    if (IsFolderEntry(dwAttribute))
        strFullPath.RemoveFileSpec();
}

void EntryTarget(CZRPathString& strOut, wchar_t wcDrive, const wchar_t* pszTargetPath, DWORD dwAttribute,
                 const wchar_t* pszName)
{
    strOut.Format(L"%c:%s", wcDrive, pszTargetPath);
    strOut.AddBackslash();
    if (!IsFolderEntry(dwAttribute))
        strOut += pszName;
}

} // namespace kvdesc
