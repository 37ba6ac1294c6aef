#include "FileLookup.h"

#include "LongPath.h"

namespace korvane {

BOOL LookUpFile(const wchar_t* pszPath, WIN32_FIND_DATAW& fd, __int64& iSize, SYSTEMTIME& stWrite)
{
    HANDLE hFind = FindFirstFileW(FileCallPath(pszPath), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return FALSE;
    iSize = static_cast<__int64>((static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
    FileTimeToSystemTime(&fd.ftLastWriteTime, &stWrite);
    FindClose(hFind);
    return TRUE;
}

} // namespace korvane
