#include "host/CopySpelling.h"

#include "output/Text.h"

#include <windows.h>

namespace kvtool {

namespace {

// The name the layer holds for one path, its last part; empty when none.
std::string FoundName(const std::wstring& strPath)
{
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW(strPath.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return std::string();
    FindClose(hFind);
    return Utf8FromLibraryText(data.cFileName);
}

} // namespace

std::string CCopySpelling::Find(const std::string& strRel)
{
    const size_t iSlash = strRel.rfind('/');
    std::string strFolder;
    if (iSlash != std::string::npos) {
        const std::string strAsked = strRel.substr(0, iSlash);
        auto it = m_mapFolders.find(strAsked);
        if (it == m_mapFolders.end())
            it = m_mapFolders.emplace(strAsked, Find(strAsked)).first;
        strFolder = it->second;
        if (strFolder.empty())
            return std::string();
        strFolder += "/";
    }
    std::wstring strPath = m_strRoot;
    if (!strPath.empty() && strPath.back() != L'\\')
        strPath += L'\\';
    strPath += LibraryRelPath(strFolder + strRel.substr(iSlash == std::string::npos ? 0 : iSlash + 1));
    const std::string strName = FoundName(strPath);
    return strName.empty() ? std::string() : strFolder + strName;
}

} // namespace kvtool
