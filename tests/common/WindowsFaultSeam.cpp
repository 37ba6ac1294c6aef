// The fault seam on Windows. This object defines the import slots
// (__imp_CreateFileW, ...) through which the code linked into a test program
// calls kernel32 and shlwapi, so each such call first asks the test's hook
// and then goes on to the system's own function, found by name. The DLLs
// are not touched: they keep their own imports, and what they call is
// outside the seam.
#include "FaultSeam.h"

#include <shlwapi.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace kvwin32 {
namespace {

std::atomic<PFNFAULTHOOK> g_pfnHook{nullptr};
std::atomic<void*> g_pHookContext{nullptr};

// Whether the hook lets the call go on; if not, the hook's error is the
// last error.
bool HookAllows(Call eCall, const wchar_t* pszPath, unsigned long long qwOffset = 0,
                DWORD* pdwToRead = nullptr)
{
    const PFNFAULTHOOK pfnHook = g_pfnHook.load(std::memory_order_acquire);
    if (!pfnHook)
        return true;
    const FaultContext ctx = {eCall, pszPath ? pszPath : L"", qwOffset, pdwToRead};
    DWORD dwError = ERROR_GEN_FAILURE;
    if (pfnHook(g_pHookContext.load(std::memory_order_acquire), ctx, &dwError))
        return true;
    SetLastError(dwError);
    return false;
}

// What the hook is told of a handle: the path it was opened with, or the
// pattern of a search and how many entries it has given.
struct CHandleInfo {
    std::wstring strPath;
    unsigned long long cGiven = 0;
};

class CHandles {
  public:
    void Remember(HANDLE h, const wchar_t* pszPath, unsigned long long cGiven)
    {
        const DWORD dwError = GetLastError(); // a successful call may set one
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_map[h] = CHandleInfo{pszPath, cGiven};
        }
        SetLastError(dwError);
    }
    CHandleInfo Get(HANDLE h)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_map.find(h);
        return it == m_map.end() ? CHandleInfo{} : it->second;
    }
    void CountEntry(HANDLE h)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_map.find(h);
        if (it != m_map.end())
            ++it->second.cGiven;
    }

  private:
    // A handle value closed and given out again is remembered anew when it
    // is opened, so entries are never removed.
    std::mutex m_mutex;
    std::map<HANDLE, CHandleInfo> m_map;
};

// Never destroyed: a call may come while the process ends.
CHandles& Handles()
{
    static CHandles* const pHandles = new CHandles;
    return *pHandles;
}

template <typename Fn> Fn SystemFunction(const wchar_t* pszDll, const char* pszName)
{
    HMODULE hModule = GetModuleHandleW(pszDll);
    if (!hModule)
        hModule = LoadLibraryW(pszDll);
    FARPROC pfn = hModule ? GetProcAddress(hModule, pszName) : nullptr;
    if (!pfn)
        FatalAppExitW(0, L"the fault seam cannot find a system function");
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(pfn));
}

#define KVTEST_SYSTEM(dll, name) static const auto pfnSystem = SystemFunction<decltype(&name)>(dll, #name)

// A search of a pattern, or ("") of one plain path.
const wchar_t* SearchPattern(const wchar_t* pszPath)
{
    if (!pszPath)
        return L"";
    const std::wstring str(pszPath);
    const size_t iLast = str.find_last_of(L"\\/");
    const size_t iWild = str.find_first_of(L"*?", iLast == std::wstring::npos ? 0 : iLast);
    return iWild == std::wstring::npos ? L"" : pszPath;
}

HANDLE WINAPI SeamCreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                              LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                              DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    KVTEST_SYSTEM(L"kernel32.dll", CreateFileW);
    if (!HookAllows(Call::CreateFile, lpFileName))
        return INVALID_HANDLE_VALUE;
    const HANDLE h = pfnSystem(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                               dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
    if (h != INVALID_HANDLE_VALUE)
        Handles().Remember(h, lpFileName ? lpFileName : L"", 0);
    return h;
}

BOOL WINAPI SeamReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                         LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    KVTEST_SYSTEM(L"kernel32.dll", ReadFile);
    if (g_pfnHook.load(std::memory_order_acquire)) {
        unsigned long long qwOffset = 0;
        if (lpOverlapped) {
            qwOffset =
                (static_cast<unsigned long long>(lpOverlapped->OffsetHigh) << 32) | lpOverlapped->Offset;
        } else {
            LARGE_INTEGER liZero = {}, liPosition = {};
            if (SetFilePointerEx(hFile, liZero, &liPosition, FILE_CURRENT))
                qwOffset = static_cast<unsigned long long>(liPosition.QuadPart);
        }
        DWORD dwToRead = nNumberOfBytesToRead;
        if (!HookAllows(Call::ReadFile, Handles().Get(hFile).strPath.c_str(), qwOffset, &dwToRead)) {
            if (lpNumberOfBytesRead)
                *lpNumberOfBytesRead = 0;
            return FALSE;
        }
        if (dwToRead < nNumberOfBytesToRead)
            nNumberOfBytesToRead = dwToRead;
    }
    return pfnSystem(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
}

HANDLE WINAPI SeamFindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    KVTEST_SYSTEM(L"kernel32.dll", FindFirstFileW);
    if (!HookAllows(Call::FindFirstFileW, lpFileName))
        return INVALID_HANDLE_VALUE;
    const HANDLE h = pfnSystem(lpFileName, lpFindFileData);
    if (h != INVALID_HANDLE_VALUE)
        Handles().Remember(h, SearchPattern(lpFileName), 1);
    return h;
}

BOOL WINAPI SeamFindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    KVTEST_SYSTEM(L"kernel32.dll", FindNextFileW);
    if (g_pfnHook.load(std::memory_order_acquire)) {
        const CHandleInfo info = Handles().Get(hFindFile);
        if (!HookAllows(Call::FindNextFileW, info.strPath.c_str(), info.cGiven))
            return FALSE;
    }
    const BOOL bOk = pfnSystem(hFindFile, lpFindFileData);
    if (bOk)
        Handles().CountEntry(hFindFile);
    return bOk;
}

DWORD WINAPI SeamGetFileAttributesW(LPCWSTR lpFileName)
{
    KVTEST_SYSTEM(L"kernel32.dll", GetFileAttributesW);
    if (!HookAllows(Call::GetFileAttributesW, lpFileName))
        return INVALID_FILE_ATTRIBUTES;
    return pfnSystem(lpFileName);
}

BOOL WINAPI SeamGetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
{
    KVTEST_SYSTEM(L"kernel32.dll", GetFileInformationByHandle);
    if (g_pfnHook.load(std::memory_order_acquire) &&
        !HookAllows(Call::GetFileInformationByHandle, Handles().Get(hFile).strPath.c_str()))
        return FALSE;
    return pfnSystem(hFile, lpFileInformation);
}

BOOL WINAPI SeamPathFileExistsW(LPCWSTR pszPath)
{
    KVTEST_SYSTEM(L"shlwapi.dll", PathFileExistsW);
    if (!HookAllows(Call::PathFileExistsW, pszPath))
        return FALSE;
    return pfnSystem(pszPath);
}

} // namespace

void SetFaultHook(PFNFAULTHOOK pfnHook, void* pContext)
{
    // The context first, so a call that sees the new hook sees its context.
    g_pHookContext.store(pContext, std::memory_order_release);
    g_pfnHook.store(pfnHook, std::memory_order_release);
}

} // namespace kvwin32

// The import slots, under the names the compiler gives a dllimport call
// (on i686 decorated with the stdcall argument bytes).
#if defined(__i386__)
#define KVTEST_IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#else
#define KVTEST_IMPORT_SLOT(name, bytes) "__imp_" #name
#endif
#define KVTEST_SEAM(name, bytes)                                                                             \
    extern "C" {                                                                                             \
    decltype(&name) kvtest_seam_##name __asm__(KVTEST_IMPORT_SLOT(name, bytes)) = &kvwin32::Seam##name;      \
    }

KVTEST_SEAM(CreateFileW, 28)
KVTEST_SEAM(ReadFile, 20)
KVTEST_SEAM(FindFirstFileW, 8)
KVTEST_SEAM(FindNextFileW, 8)
KVTEST_SEAM(GetFileAttributesW, 4)
KVTEST_SEAM(GetFileInformationByHandle, 8)
KVTEST_SEAM(PathFileExistsW, 4)
