#include "description/DriveDescription.h"

#include "output/Text.h"
#include "output/UsageError.h"

#include <DescriptionRules.h>

#include <cstdio>
#include <ctime>
#include <vector>

namespace kvtool {

namespace {

struct CFound {
    std::wstring strName;
    DWORD dwAttributes = 0;
    unsigned long long ullSize = 0;
    FILETIME ftWrite = {0, 0};
};

CFound FoundOf(const WIN32_FIND_DATAW& data)
{
    CFound found;
    found.strName = data.cFileName;
    found.dwAttributes = data.dwFileAttributes;
    found.ullSize = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    found.ftWrite = data.ftLastWriteTime;
    return found;
}

// The entries of a folder on the drive, "." and ".." left out; the folders
// the library skips are left out too.
std::vector<CFound> FolderEntries(const std::wstring& strFolder)
{
    std::vector<CFound> vec;
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return vec;
    do {
        CFound found = FoundOf(data);
        if (found.strName == L"." || found.strName == L"..")
            continue;
        if ((found.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.strName == L"System Volume Information")
            continue;
        vec.push_back(std::move(found));
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    return vec;
}

void AddFolderTotals(const std::wstring& strFolder, unsigned long long& ullFiles,
                     unsigned long long& ullBytes)
{
    for (const CFound& found : FolderEntries(strFolder)) {
        if (found.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            AddFolderTotals(strFolder + L"\\" + found.strName, ullFiles, ullBytes);
        } else {
            ++ullFiles;
            ullBytes += found.ullSize;
        }
    }
}

std::wstring TimeText(const FILETIME& ft)
{
    const unsigned long long ull =
        (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    // 100 ns steps since 1601 to seconds since 1970.
    const std::time_t t = static_cast<std::time_t>(static_cast<long long>(ull / 10000000ULL) - 11644473600LL);
    struct tm tmUtc;
    if (ull == 0 || !gmtime_r(&t, &tmUtc))
        return std::wstring();
    wchar_t sz[32];
    std::swprintf(sz, sizeof sz / sizeof sz[0], L"%04d-%02d-%02dT%02d:%02d:%02dZ", tmUtc.tm_year + 1900,
                  tmUtc.tm_mon + 1, tmUtc.tm_mday, tmUtc.tm_hour, tmUtc.tm_min, tmUtc.tm_sec);
    return sz;
}

std::wstring JoinBelowRoot(const std::wstring& strFolder, const std::wstring& strName)
{
    return strFolder == L"\\" ? strFolder + strName : strFolder + L"\\" + strName;
}

void AddEntry(const std::wstring& strPath, const CFound& found, const std::wstring& strBelow,
              CMediaDescription& desc)
{
    CDescribedEntry entry;
    entry.strName = found.strName;
    entry.strWriteTime = TimeText(found.ftWrite);
    if (found.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        entry.strFullPath = strPath + L"\\" + kvdesc::kEveryFile;
        entry.strTargetPath = JoinBelowRoot(strBelow, entry.strName);
        entry.strPath = entry.strTargetPath;
        entry.dwAttribute = FILE_ATTRIBUTE_DIRECTORY;
        unsigned long long ullFiles = 0;
        AddFolderTotals(strPath, ullFiles, entry.ullFileSize);
        desc.ullFileCount += ullFiles;
    } else {
        entry.strFullPath = strPath;
        entry.strTargetPath = strBelow;
        entry.strPath = JoinBelowRoot(strBelow, entry.strName);
        entry.dwAttribute = FILE_ATTRIBUTE_ARCHIVE;
        entry.ullFileSize = found.ullSize;
        desc.ullFileCount += 1;
    }
    desc.ullMediaSize += entry.ullFileSize;
    desc.vecEntries.push_back(std::move(entry));
}

} // namespace

void DescribeDriveSource(const std::wstring& strSource, const std::wstring& strTarget,
                         CMediaDescription& desc)
{
    const std::wstring strBelow = NormalizeTargetPath(strTarget);
    const std::string strShown = Utf8FromWide(strSource);
    // "E:" and separators as the library takes them: backslashes, none doubled, none at the end.
    std::wstring strPath = strSource.substr(0, 2);
    for (wchar_t c : strSource.substr(2)) {
        if (c == L'/')
            c = L'\\';
        if (c == L'\\' && strPath.back() == L'\\')
            continue;
        strPath += c;
    }
    while (strPath.size() > 2 && strPath.back() == L'\\')
        strPath.pop_back();
    if (strPath.size() == 2) {
        if (GetFileAttributesW((strPath + L"\\").c_str()) == INVALID_FILE_ATTRIBUTES)
            throw CUsageError("source " + strShown + " not found");
        for (const CFound& found : FolderEntries(strPath))
            AddEntry(strPath + L"\\" + found.strName, found, strBelow, desc);
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW(strPath.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        throw CUsageError("source " + strShown + " not found");
    FindClose(hFind);
    // The entry bears the name the drive holds, whatever case it was given in.
    const CFound found = FoundOf(data);
    AddEntry(strPath.substr(0, strPath.rfind(L'\\') + 1) + found.strName, found, strBelow, desc);
}

} // namespace kvtool
