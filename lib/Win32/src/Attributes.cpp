// GetFileAttributesW and the shell's PathFileExistsW.
#include "Internal.h"

#include <shlwapi.h>

#include <fcntl.h>

#include <cerrno>

using namespace kvwin32::detail;

extern "C" {

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    CWinPath path;
    DWORD dwError;
    if ((dwError = ParseWinPath(lpFileName, path)) != ERROR_SUCCESS ||
        (dwError = HostPathError(path)) != ERROR_SUCCESS) {
        SetLastError(dwError);
        return INVALID_FILE_ATTRIBUTES;
    }
    const bool bHidden = path.cParts != 0 && IsDotName(path.svLast);
    CFileInfo info;
    if (const int iErr = QueryFileInfo(AT_FDCWD, path.strHost.c_str(), bHidden, info)) {
        SetLastError(iErr == ENOENT ? MissingError(path) : Win32FromErrno(iErr));
        return INVALID_FILE_ATTRIBUTES;
    }
    return info.dwAttributes;
}

BOOL WINAPI PathFileExistsW(LPCWSTR pszPath)
{
    return GetFileAttributesW(pszPath) != INVALID_FILE_ATTRIBUTES ? TRUE : FALSE;
}

} // extern "C"
