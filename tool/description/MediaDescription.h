// What a burning program writes down about one medium before it burns it:
// one entry per file or folder given, and the medium's totals.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kvtool {

struct CDescribedEntry {
    std::wstring strFullPath;           // source, as the library reads it; a folder ends in "\*.*"
    std::wstring strPath;               // where it lies on the disc, below the root: "\Apps\setup.exe"
    std::wstring strTargetPath;         // a file: the folder it lies in; a folder: the folder itself
    std::wstring strName;               // the file's or folder's name
    DWORD dwAttribute = 0;              // FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_ARCHIVE
    unsigned long long ullFileSize = 0; // a folder: the bytes of all files under it
    std::wstring strWriteTime;          // ISO 8601 UTC
};

struct CMediaDescription {
    unsigned long long ullFileCount = 0; // files, those under folders included
    unsigned long long ullMediaSize = 0; // bytes of all those files
    std::vector<CDescribedEntry> vecEntries;
};

// "\Apps" from "\Apps", "Apps", "/Apps/" or "\\Apps\\"; "\" for the root
// (from "", "\" or "/").
std::wstring NormalizeTargetPath(const std::wstring& strTarget);

// One entry per source (native paths), each placed inside strTarget as a
// copy would place it: the file a.txt at \Apps\a.txt, the folder tools at
// \Apps\tools. Throws CUsageError for a source that is not there or is a
// root folder.
CMediaDescription DescribeSources(const std::vector<std::filesystem::path>& vecSources,
                                  const std::wstring& strTarget);

} // namespace kvtool
