// The fault seam's types: what a test's hook is told about a file call it
// may fail. The Win32 layer consults the hook itself (SetFaultHook in
// kvwin32.h); on Windows a test-only object in front of kernel32 gives the
// test programs the same hook.
#pragma once

#include <windows.h>

namespace kvwin32 {

// Fault seam: a hook consulted before each call named in Call. It may fail
// the call (return FALSE with the error in *pdwError, which holds
// ERROR_GEN_FAILURE on entry; whatever it leaves there, 0 included, becomes
// the last error) or shorten a read by lowering *pdwToRead. Returning TRUE
// lets the call go on. SetFaultHook(nullptr, nullptr) removes the hook.
// A failed call does what the real one does when it fails: CreateFileW and
// FindFirstFileW give INVALID_HANDLE_VALUE, GetFileAttributesW
// INVALID_FILE_ATTRIBUTES, the others FALSE; a search whose FindNextFileW
// failed can still be asked again or closed. (The newer names carry their W:
// shlwapi.h's PathFileExists macro must not rename one.)
enum class Call {
    CreateFile,
    ReadFile,
    FindFirstFileW,
    FindNextFileW,
    GetFileAttributesW,
    PathFileExistsW,
    GetFileInformationByHandle,
};
struct FaultContext {
    Call eCall;
    // The Windows path of the call: as given (CreateFileW, FindFirstFileW,
    // GetFileAttributesW, PathFileExistsW), the one the handle was opened
    // with (ReadFile, GetFileInformationByHandle) or the pattern the search
    // was started with (FindNextFileW; "" for the search of one plain path).
    const wchar_t* pszPath;
    // ReadFile: the read position. FindNextFileW: how many entries the
    // search has given so far, "." and ".." included.
    unsigned long long qwOffset;
    DWORD* pdwToRead; // bytes to read; the hook may lower it (ReadFile)
};
typedef BOOL (*PFNFAULTHOOK)(void* pContext, const FaultContext& ctx, DWORD* pdwError);

} // namespace kvwin32
