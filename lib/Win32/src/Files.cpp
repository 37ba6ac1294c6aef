// File handles: CreateFileW, ReadFile, WriteFile, CloseHandle, synchronous
// and over plain descriptors.
#include "Internal.h"
#include "ReadAhead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace kvwin32 {
namespace detail {
namespace {

class CFileObject : public CHandleObject {
  public:
    CFileObject(int iFd, const wchar_t* pszPath, bool bRead, bool bWrite, bool bFolder,
                ULONGLONG qwRegularSize)
        : m_iFd(iFd), m_strPath(pszPath), m_bRead(bRead), m_bWrite(bWrite), m_bFolder(bFolder),
          m_qwRegularSize(qwRegularSize), m_bMayReadAhead(bRead && !bWrite && qwRegularSize != 0)
    {
    }
    ~CFileObject() override
    {
        m_ahead.CancelPrefetch(); // the worker may be reading the descriptor
        // Not retried on EINTR: the descriptor is gone either way.
        ::close(m_iFd);
    }
    CFileObject(const CFileObject&) = delete;
    CFileObject& operator=(const CFileObject&) = delete;

    EHandleKind Kind() const override { return EHandleKind::File; }

    const int m_iFd;
    const std::wstring m_strPath; // as opened, for the fault hook
    const bool m_bRead;
    const bool m_bWrite;
    const bool m_bFolder;
    // The size of a regular file when it was opened; 0 for anything else,
    // and for files that claim no size (those of /proc hand out their text
    // in pieces).
    const ULONGLONG m_qwRegularSize;
    // Only regular files that claim a size and that this handle cannot
    // write: pseudo files and devices are read as they come.
    const bool m_bMayReadAhead;
    // A synchronous handle does one transfer at a time, as on Windows.
    std::mutex m_mutex;
    ULONGLONG m_qwPosition = 0;

    CReadAhead m_ahead;
};

BOOL Fail(DWORD dwError)
{
    SetLastError(dwError);
    return FALSE;
}

HANDLE FailOpen(DWORD dwError)
{
    SetLastError(dwError);
    return INVALID_HANDLE_VALUE;
}

int OpenRetrying(const std::string& strHost, int iFlags, mode_t mode)
{
    int iFd;
    do {
        iFd = ::open(strHost.c_str(), iFlags, mode);
    } while (iFd < 0 && errno == EINTR);
    return iFd;
}

// Fill the request unless the file ends: callers take a short count for
// the end of the file. On a regular file a short read at or past the size
// it had when opened is the end, and asking again would only hear 0;
// anywhere else (devices, pseudo files, a file that shrank) only 0 is.
DWORD ReadAsItComes(CFileObject& file, char* pch, DWORD dwToRead, int& iErr)
{
    DWORD dwDone = 0;
    while (dwDone < dwToRead) {
        const ssize_t cb = ::read(file.m_iFd, pch + dwDone, dwToRead - dwDone);
        if (cb > 0) {
            dwDone += static_cast<DWORD>(cb);
            if (dwDone < dwToRead && file.m_qwRegularSize != 0 &&
                file.m_qwPosition + dwDone >= file.m_qwRegularSize)
                break;
        } else if (cb == 0) {
            break;
        } else if (errno != EINTR) {
            iErr = errno;
            break;
        }
    }
    return dwDone;
}

// One piece for the read-ahead's worker; pSource is the CFileObject.
long long ReadPiece(void* pSource, ULONGLONG qwAt, char* pch, DWORD cb);

// The same answers from a regular file, read ahead once the handle reads
// on: what is still fresh in the buffer first, then the file. Bytes beyond
// the buffer, and so the end of the file, always come from the file itself,
// and a read-ahead stops at an error without reporting it: the read that
// needs the bytes where it happened asks again and hears it.
DWORD ReadRegular(CFileObject& file, char* pch, DWORD dwToRead, int& iErr)
{
    DWORD dwDone = file.m_ahead.TakeFresh(pch, dwToRead);
    while (dwDone < dwToRead) {
        const DWORD cbWant = dwToRead - dwDone;
        const ULONGLONG qwAt = file.m_qwPosition + dwDone;
        bool bFirstBuffer = false;
        const bool bAhead = file.m_ahead.ShouldReadAhead(cbWant, qwAt, file.m_qwRegularSize, bFirstBuffer);
        // A handle that reads ahead reads on: the kernel may read ahead on its side too.
        if (bFirstBuffer)
            ::posix_fadvise(file.m_iFd, 0, 0, POSIX_FADV_SEQUENTIAL);
        ssize_t cb;
        if (bAhead && file.m_ahead.TakePrefetched(qwAt, pch + dwDone, cbWant) != 0) {
            cb = kReadAheadSize;
        } else if (bAhead) {
            const CReadAhead::Clock::time_point tBefore = CReadAhead::Clock::now();
            cb = ::pread(file.m_iFd, file.m_ahead.Buffer(), kReadAheadSize, static_cast<off_t>(qwAt));
            if (cb > 0)
                file.m_ahead.Filled(tBefore, static_cast<DWORD>(cb), pch + dwDone, cbWant);
        } else {
            cb = ::pread(file.m_iFd, pch + dwDone, cbWant, static_cast<off_t>(qwAt));
        }
        if (bAhead && cb > 0)
            file.m_ahead.PrefetchNext(&ReadPiece, &file, qwAt, static_cast<DWORD>(cb), file.m_qwRegularSize);
        if (cb > 0) {
            dwDone += std::min(cbWant, static_cast<DWORD>(cb));
            if (dwDone < dwToRead && qwAt + static_cast<ULONGLONG>(cb) >= file.m_qwRegularSize)
                break;
        } else if (cb == 0) {
            break;
        } else if (errno != EINTR) {
            iErr = errno;
            break;
        }
    }
    file.m_ahead.CallDone(dwToRead, dwDone);
    return dwDone;
}

long long ReadPiece(void* pSource, ULONGLONG qwAt, char* pch, DWORD cb)
{
    ssize_t cbRead;
    do {
        cbRead = ::pread(static_cast<CFileObject*>(pSource)->m_iFd, pch, cb, static_cast<off_t>(qwAt));
    } while (cbRead < 0 && errno == EINTR);
    return cbRead;
}

std::shared_ptr<CFileObject> LookupFile(HANDLE h)
{
    return std::static_pointer_cast<CFileObject>(LookupHandle(h, EHandleKind::File));
}

} // namespace
} // namespace detail
} // namespace kvwin32

using namespace kvwin32::detail;

extern "C" {

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/)
{
    DWORD dwError = ERROR_SUCCESS;
    // Hooks compare paths; give them text even for a null name.
    const kvwin32::FaultContext ctx = {kvwin32::Call::CreateFile, lpFileName ? lpFileName : L"", 0, nullptr};
    if (!ConsultFaultHook(ctx, dwError))
        return FailOpen(dwError);

    CWinPath path;
    if ((dwError = ParseWinPath(lpFileName, path)) != ERROR_SUCCESS ||
        (dwError = HostPathError(path)) != ERROR_SUCCESS)
        return FailOpen(dwError);
    if (path.pImage)
        return ImageCreateFile(path, lpFileName, dwDesiredAccess, dwCreationDisposition,
                               dwFlagsAndAttributes);
    const std::string& strHost = path.strHost;

    const bool bRead = (dwDesiredAccess & GENERIC_READ) != 0;
    const bool bWrite = (dwDesiredAccess & GENERIC_WRITE) != 0;
    // Non-blocking only for the open itself: a FIFO must not hang it.
    int iFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (bRead && bWrite)
        iFlags |= O_RDWR;
    else if (bWrite)
        iFlags |= O_WRONLY;
#ifdef O_PATH
    else if (!bRead && dwCreationDisposition == OPEN_EXISTING)
        iFlags |= O_PATH; // attributes only, as with an access of 0
#endif
    else
        iFlags |= O_RDONLY;
    const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    // A file that may be made is looked for under another case first, as
    // Windows would find it; a new one goes into its folder as spelled there.
    if (dwCreationDisposition == CREATE_NEW || dwCreationDisposition == CREATE_ALWAYS ||
        dwCreationDisposition == OPEN_ALWAYS) {
        struct stat stExact;
        if (::lstat(strHost.c_str(), &stExact) != 0 && IsMissingErrno(errno) && !FoldPath(path))
            FoldParent(path);
    }

    int iFd = -1;
    bool bExisted = false;
    switch (dwCreationDisposition) {
    case CREATE_NEW:
        iFd = OpenRetrying(strHost, iFlags | O_CREAT | O_EXCL, mode);
        break;
    case OPEN_EXISTING:
    case TRUNCATE_EXISTING: {
        if (dwCreationDisposition == TRUNCATE_EXISTING && !bWrite)
            return FailOpen(ERROR_INVALID_PARAMETER);
        const int iOpen = iFlags | (dwCreationDisposition == TRUNCATE_EXISTING ? O_TRUNC : 0);
        iFd = OpenRetrying(strHost, iOpen, mode);
        if (iFd < 0 && IsMissingErrno(errno) && FoldPath(path))
            iFd = OpenRetrying(strHost, iOpen, mode);
        break;
    }
    case CREATE_ALWAYS:
    case OPEN_ALWAYS: {
        // Create, or else open what is there, telling the two apart as
        // Windows does; a file removed in between sends us round again.
        const int iExisting = dwCreationDisposition == CREATE_ALWAYS ? O_TRUNC : 0;
        for (int iTry = 0; iTry < 8 && iFd < 0; ++iTry) {
            iFd = OpenRetrying(strHost, iFlags | O_CREAT | O_EXCL, mode);
            if (iFd >= 0 || errno != EEXIST)
                break;
            iFd = OpenRetrying(strHost, iFlags | iExisting, mode);
            bExisted = iFd >= 0;
            if (iFd < 0 && errno != ENOENT)
                break;
        }
        break;
    }
    default:
        return FailOpen(ERROR_INVALID_PARAMETER);
    }
    if (iFd < 0) {
        const int iErr = errno;
        // A FIFO without a reader, or a socket, cannot be opened to write:
        // refused as any other name that is not a file.
        struct stat stOther;
        if (iErr == ENXIO && ::stat(strHost.c_str(), &stOther) == 0 && !S_ISREG(stOther.st_mode) &&
            !S_ISDIR(stOther.st_mode))
            return FailOpen(ERROR_ACCESS_DENIED);
        return FailOpen(iErr == ENOENT ? MissingError(path) : Win32FromErrno(iErr));
    }

    struct stat st;
    if (::fstat(iFd, &st) != 0) {
        const int iErr = errno;
        ::close(iFd);
        return FailOpen(Win32FromErrno(iErr));
    }
    const bool bFolder = S_ISDIR(st.st_mode);
    // Folders open only for their attributes, as on Windows. A disc holds
    // only files and folders: a device, pipe or socket is no file to read,
    // and is refused as a folder is (pipes and sockets for writing too).
    const bool bOther = !bFolder && !S_ISREG(st.st_mode);
    if ((bFolder && !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS)) || (bOther && bRead) ||
        S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
        ::close(iFd);
        return FailOpen(ERROR_ACCESS_DENIED);
    }
    if (!S_ISREG(st.st_mode) && !bFolder)
        ::fcntl(iFd, F_SETFL, ::fcntl(iFd, F_GETFL) & ~O_NONBLOCK);

    std::shared_ptr<CFileObject> pFile;
    try {
        const ULONGLONG qwRegularSize =
            S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<ULONGLONG>(st.st_size) : 0;
        pFile = std::make_shared<CFileObject>(iFd, lpFileName, bRead, bWrite, bFolder, qwRegularSize);
    } catch (...) {
        ::close(iFd);
        return FailOpen(ERROR_NOT_ENOUGH_MEMORY);
    }
    HANDLE h;
    try {
        h = AddHandle(pFile);
    } catch (...) {
        return FailOpen(ERROR_NOT_ENOUGH_MEMORY);
    }
    SetLastError(bExisted ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    if (lpOverlapped)
        return Fail(ERROR_NOT_SUPPORTED);
    const std::shared_ptr<CFileObject> pFile = LookupFile(hFile);
    if (!pFile)
        return ImageReadFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead);
    if (const DWORD dwError = ReadCallError(lpBuffer, nNumberOfBytesToRead, pFile->m_bFolder, pFile->m_bRead))
        return Fail(dwError);

    std::lock_guard<std::mutex> lock(pFile->m_mutex);
    DWORD dwToRead = 0;
    DWORD dwError = ERROR_SUCCESS;
    if (!HookAllowsRead(pFile->m_strPath, pFile->m_qwPosition, nNumberOfBytesToRead, dwToRead, dwError))
        return Fail(dwError);

    char* pch = static_cast<char*>(lpBuffer);
    int iErr = 0;
    const DWORD dwDone = pFile->m_bMayReadAhead ? ReadRegular(*pFile, pch, dwToRead, iErr)
                                                : ReadAsItComes(*pFile, pch, dwToRead, iErr);
    pFile->m_qwPosition += dwDone;
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = dwDone;
    // Bytes that arrived before an error are delivered; the error comes back
    // with the next read, which starts where it happened.
    if (iErr && dwDone == 0)
        return Fail(Win32FromErrno(iErr, ERROR_READ_FAULT));
    return TRUE;
}

// The size now, not when opened: the file may have grown since.
BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    const std::shared_ptr<CFileObject> pFile = LookupFile(hFile);
    if (!pFile)
        return ImageGetFileSizeEx(hFile, lpFileSize);
    if (!lpFileSize)
        return Fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (::fstat(pFile->m_iFd, &st) != 0)
        return Fail(Win32FromErrno(errno));
    // Windows gives folders no size; pseudo files claim none.
    lpFileSize->QuadPart = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<LONGLONG>(st.st_size) : 0;
    return TRUE;
}

// Files and folders are on a disk; devices are character devices, pipes
// and sockets pipes.
DWORD WINAPI GetFileType(HANDLE hFile)
{
    const std::shared_ptr<CFileObject> pFile = LookupFile(hFile);
    if (!pFile)
        return ImageGetFileType(hFile);
    struct stat st;
    if (::fstat(pFile->m_iFd, &st) != 0) {
        SetLastError(Win32FromErrno(errno));
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
        return FILE_TYPE_DISK;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return FILE_TYPE_CHAR;
    return FILE_TYPE_PIPE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    if (lpOverlapped)
        return Fail(ERROR_NOT_SUPPORTED);
    const std::shared_ptr<CFileObject> pFile = LookupFile(hFile);
    if (!pFile)
        return ImageWriteFile(hFile);
    if (!lpBuffer && nNumberOfBytesToWrite)
        return Fail(ERROR_NOACCESS);
    if (pFile->m_bFolder)
        return Fail(ERROR_INVALID_FUNCTION);
    if (!pFile->m_bWrite)
        return Fail(ERROR_ACCESS_DENIED);

    std::lock_guard<std::mutex> lock(pFile->m_mutex);
    const char* pch = static_cast<const char*>(lpBuffer);
    DWORD dwDone = 0;
    int iErr = 0;
    while (dwDone < nNumberOfBytesToWrite) {
        const ssize_t cb = ::write(pFile->m_iFd, pch + dwDone, nNumberOfBytesToWrite - dwDone);
        if (cb > 0)
            dwDone += static_cast<DWORD>(cb);
        else if (cb == 0) {
            iErr = EIO; // no progress and no reason: do not spin
            break;
        } else if (errno != EINTR) {
            iErr = errno;
            break;
        }
    }
    pFile->m_qwPosition += dwDone;
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = dwDone;
    // A write stopped short is a failure: the caller's data is not all there.
    if (iErr)
        return Fail(Win32FromErrno(iErr, ERROR_WRITE_FAULT));
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (!RemoveHandle(hObject, EHandleKind::File))
        return ImageCloseHandle(hObject);
    return TRUE;
}

// The file the handle reached, a link's target when it was opened through
// one; device and inode stand for the volume serial and the file index.
BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
{
    const std::shared_ptr<CFileObject> pFile = LookupFile(hFile);
    if (!pFile)
        return ImageGetFileInformation(hFile, lpFileInformation);
    if (!lpFileInformation)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD dwError = ERROR_SUCCESS;
    if (!HookAllowsFileInformation(pFile->m_strPath, dwError))
        return Fail(dwError);
    CWinPath path;
    const bool bHidden = ParseWinPath(pFile->m_strPath.c_str(), path) == ERROR_SUCCESS && path.cParts != 0 &&
                         IsDotName(path.svLast);
    CFileInfo info;
    if (const int iErr = QueryOpenFileInfo(pFile->m_iFd, bHidden, info))
        return Fail(Win32FromErrno(iErr));
    BY_HANDLE_FILE_INFORMATION& bhfi = *lpFileInformation;
    bhfi.dwFileAttributes = info.dwAttributes;
    bhfi.ftCreationTime = info.ftCreation;
    bhfi.ftLastAccessTime = info.ftLastAccess;
    bhfi.ftLastWriteTime = info.ftLastWrite;
    // A device number is wider than a serial: both halves count.
    bhfi.dwVolumeSerialNumber = static_cast<DWORD>(info.qwDevice ^ (info.qwDevice >> 32));
    bhfi.nFileSizeHigh = static_cast<DWORD>(info.qwSize >> 32);
    bhfi.nFileSizeLow = static_cast<DWORD>(info.qwSize);
    bhfi.nNumberOfLinks = info.qwLinks > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(info.qwLinks);
    bhfi.nFileIndexHigh = static_cast<DWORD>(info.qwInode >> 32);
    bhfi.nFileIndexLow = static_cast<DWORD>(info.qwInode);
    return TRUE;
}

} // extern "C"
