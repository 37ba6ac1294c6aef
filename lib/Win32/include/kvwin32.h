// Win32 layer extras that Windows has no counterpart for: how a Windows
// path is mapped to this system, and the fault seam the tests use.
#pragma once

#include <windows.h>

#include <string>

namespace kvwin32 {

// The host path for a Windows path: "X:\a\b" goes to the folder named by
// KORVANE_DRIVE_X (either case of X), "\" and "/" both separate, a path that
// begins with "/" is used as it is. Empty when the drive is not mapped.
KVWIN32_API std::string MapPath(const wchar_t* pszPath);

// Fault seam: a hook consulted before each CreateFileW and ReadFile. It may
// fail the call (return FALSE with the error in *pdwError) or shorten a read.
enum class Call { CreateFile, ReadFile };
struct FaultContext {
    Call eCall;
    const wchar_t* pszPath;      // the Windows path the handle was opened with
    unsigned long long qwOffset; // read position (ReadFile)
    DWORD* pdwToRead;            // bytes to read; the hook may lower it (ReadFile)
};
typedef BOOL (*PFNFAULTHOOK)(void* pContext, const FaultContext& ctx, DWORD* pdwError);
KVWIN32_API void SetFaultHook(PFNFAULTHOOK pfnHook, void* pContext);

} // namespace kvwin32
