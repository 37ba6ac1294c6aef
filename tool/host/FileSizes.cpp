#include "host/FileSizes.h"

#include <windows.h>

namespace kvtool {

bool LibraryFileSize(const std::wstring& strPath, unsigned long long& ullSize)
{
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW(strPath.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;
    FindClose(hFind);
    ullSize = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

int CompareFileSizes(const std::wstring& strSource, const std::wstring& strTarget)
{
    unsigned long long ullSource = 0;
    unsigned long long ullTarget = 0;
    if (strTarget.empty() || !LibraryFileSize(strSource, ullSource) || !LibraryFileSize(strTarget, ullTarget))
        return -1;
    return ullSource != ullTarget ? 1 : 0;
}

} // namespace kvtool
