// What the file calls check before they reach a file, the same whether the
// handle or path is a host file's or a disc image's: arguments, access and
// the fault hook.
#include "Internal.h"

namespace kvwin32 {
namespace detail {

DWORD ReadCallError(const void* pv, DWORD cb, bool bFolder, bool bRead)
{
    if (!pv && cb)
        return ERROR_NOACCESS;
    if (bFolder)
        return ERROR_INVALID_FUNCTION;
    if (!bRead)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

bool HookAllowsRead(const std::wstring& strPath, ULONGLONG qwPosition, DWORD cb, DWORD& dwToRead,
                    DWORD& dwError)
{
    dwToRead = cb;
    const FaultContext ctx = {Call::ReadFile, strPath.c_str(), qwPosition, &dwToRead};
    if (!ConsultFaultHook(ctx, dwError))
        return false;
    // A hook may shorten a read, never lengthen it.
    if (dwToRead > cb)
        dwToRead = cb;
    return true;
}

bool HookAllowsFindNext(const std::wstring& strSearch, unsigned long long cGiven, DWORD& dwError)
{
    const FaultContext ctx = {Call::FindNextFileW, strSearch.c_str(), cGiven, nullptr};
    return ConsultFaultHook(ctx, dwError) != FALSE;
}

bool HookAllowsFileInformation(const std::wstring& strPath, DWORD& dwError)
{
    const FaultContext ctx = {Call::GetFileInformationByHandle, strPath.c_str(), 0, nullptr};
    return ConsultFaultHook(ctx, dwError) != FALSE;
}

DWORD FindPathError(const CWinPath& path)
{
    if (const DWORD dwError = HostPathError(path))
        return dwError;
    if (path.svLast.size() > MAX_PATH - 1)
        return ERROR_FILENAME_EXCED_RANGE;
    return ERROR_SUCCESS;
}

} // namespace detail
} // namespace kvwin32
