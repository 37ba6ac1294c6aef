// GetFileAttributesW and the shell's PathFileExistsW.
#include "Internal.h"

#include <shlwapi.h>

#include <fcntl.h>

#include <cerrno>

using namespace kvwin32::detail;

namespace {

DWORD Attributes(LPCWSTR lpFileName)
{
    CWinPath path;
    DWORD dwError;
    if ((dwError = ParseWinPath(lpFileName, path)) != ERROR_SUCCESS ||
        (dwError = HostPathError(path)) != ERROR_SUCCESS) {
        SetLastError(dwError);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (path.pImage)
        return ImageAttributes(path);
    const bool bHidden = path.cParts != 0 && IsDotName(path.svLast);
    CFileInfo info;
    int iErr = QueryFileInfo(AT_FDCWD, path.strHost.c_str(), bHidden, info);
    if (IsMissingErrno(iErr) && FoldPath(path))
        iErr = QueryFileInfo(AT_FDCWD, path.strHost.c_str(), bHidden, info);
    if (iErr) {
        SetLastError(iErr == ENOENT ? MissingError(path) : Win32FromErrno(iErr));
        return INVALID_FILE_ATTRIBUTES;
    }
    return info.dwAttributes;
}

// FALSE with the last error set when the hook fails the call.
BOOL HookAllows(kvwin32::Call eCall, LPCWSTR pszPath)
{
    DWORD dwError = ERROR_SUCCESS;
    const kvwin32::FaultContext ctx = {eCall, pszPath ? pszPath : L"", 0, nullptr};
    if (ConsultFaultHook(ctx, dwError))
        return TRUE;
    SetLastError(dwError);
    return FALSE;
}

} // namespace

extern "C" {

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    if (!HookAllows(kvwin32::Call::GetFileAttributesW, lpFileName))
        return INVALID_FILE_ATTRIBUTES;
    return Attributes(lpFileName);
}

// The shell's call is a call of its own: the hook sees it once, not also as
// the attribute query behind it.
BOOL WINAPI PathFileExistsW(LPCWSTR pszPath)
{
    if (!HookAllows(kvwin32::Call::PathFileExistsW, pszPath))
        return FALSE;
    return Attributes(pszPath) != INVALID_FILE_ATTRIBUTES ? TRUE : FALSE;
}

} // extern "C"
