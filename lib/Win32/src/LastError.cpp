// The thread's last error, and the Win32 codes for host errors.
#include "Internal.h"

#include <cerrno>

namespace {
thread_local DWORD t_dwLastError = ERROR_SUCCESS;
} // namespace

extern "C" {

DWORD WINAPI GetLastError(void)
{
    return t_dwLastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    t_dwLastError = dwErrCode;
}

} // extern "C"

namespace kvwin32 {
namespace detail {

DWORD Win32FromErrno(int iErrno, DWORD dwIoError)
{
    switch (iErrno) {
    case 0:
        // A failure with no reason must still read as a failure.
        return ERROR_GEN_FAILURE;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP:
        return ERROR_CANT_RESOLVE_FILENAME;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return ERROR_DISK_FULL;
    case EFBIG:
        return ERROR_FILE_TOO_LARGE;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EFAULT:
        return ERROR_NOACCESS;
    case EBUSY:
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case ENXIO:
    case ENODEV:
#ifdef ENOMEDIUM
    case ENOMEDIUM: // no disc in the drive
#endif
        return ERROR_NOT_READY;
    case EIO:
        return dwIoError;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace detail
} // namespace kvwin32
