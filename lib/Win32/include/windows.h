// Win32 layer for non-Windows builds: the subset of <windows.h> that the
// verifier and its support libraries use, with the Windows types and sizes.
// Text is wchar_t; on these platforms that is UTF-32, and file names reach
// the file system as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "KvWin32Export.h"

// `unsigned __int64` must stay valid, so this is a macro, not a typedef.
#ifndef __int64
#define __int64 long long
#endif

#define WINAPI
#define CALLBACK
#define STDAPI_(type) extern "C" type

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef unsigned int UINT;
typedef std::int32_t HRESULT;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* HANDLE;
typedef DWORD* LPDWORD;
typedef wchar_t WCHAR;
typedef wchar_t TCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef LPWSTR LPTSTR;
typedef LPCWSTR LPCTSTR;
typedef WCHAR OLECHAR;
typedef OLECHAR* BSTR;
typedef std::int64_t LONGLONG;
typedef std::uint64_t ULONGLONG;
typedef std::uintptr_t ULONG_PTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define _T(x) L##x
#define TEXT(x) L##x

#define MAX_PATH 260

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_ABORT ((HRESULT)0x80004004L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define ERROR_SUCCESS 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_NOT_READY 21L
#define ERROR_CRC 23L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_NETNAME_DELETED 64L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INVALID_NAME 123L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_FILE_TOO_LARGE 223L
#define ERROR_NOACCESS 998L
#define ERROR_UNRECOGNIZED_VOLUME 1005L
#define ERROR_FILE_CORRUPT 1392L
#define ERROR_CANT_RESOLVE_FILENAME 1921L

#define FACILITY_WIN32 7
// As winerror.h: 0 stays S_OK, any other code becomes 0x8007xxxx.
inline HRESULT HRESULT_FROM_WIN32(unsigned long x)
{
    return static_cast<HRESULT>(x) <= 0
               ? static_cast<HRESULT>(x)
               : static_cast<HRESULT>((x & 0x0000FFFFUL) | (FACILITY_WIN32 << 16) | 0x80000000UL);
}

#define INVALID_HANDLE_VALUE ((HANDLE)(std::intptr_t)-1)

#define GENERIC_READ 0x80000000UL
#define GENERIC_WRITE 0x40000000UL
#define FILE_SHARE_READ 0x00000001UL
#define FILE_SHARE_WRITE 0x00000002UL
#define FILE_SHARE_DELETE 0x00000004UL
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000UL
#define FILE_FLAG_OVERLAPPED 0x40000000UL

#define FILE_ATTRIBUTE_READONLY 0x00000001UL
#define FILE_ATTRIBUTE_HIDDEN 0x00000002UL
#define FILE_ATTRIBUTE_SYSTEM 0x00000004UL
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010UL
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020UL
#define FILE_ATTRIBUTE_NORMAL 0x00000080UL
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400UL
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

// What GetFileType tells of a handle.
#define FILE_TYPE_UNKNOWN 0x0000UL
#define FILE_TYPE_DISK 0x0001UL
#define FILE_TYPE_CHAR 0x0002UL
#define FILE_TYPE_PIPE 0x0003UL

// dwReserved0 of a find record whose entry is a symbolic link.
#define IO_REPARSE_TAG_SYMLINK 0xA000000CUL

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;
typedef WIN32_FIND_DATAW WIN32_FIND_DATA;
typedef LPWIN32_FIND_DATAW LPWIN32_FIND_DATA;

// What GetFileInformationByHandle tells of an open file. The volume serial
// and the file index together name the file, whatever path it was opened by.
typedef struct _BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *PBY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;

typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED* LPOVERLAPPED;

// Without Windows' anonymous member: ISO C++ has no anonymous structs.
typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

// The layer's functions keep their Windows names in source but are linked
// as KvWin32_<name>, so they cannot collide with another library in the
// same process that defines or expects the Windows names.
#define KVWIN32_SYMBOL(name) __asm__("KvWin32_" #name)

extern "C" {
KVWIN32_API HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                      LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                      DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
    KVWIN32_SYMBOL(CreateFileW);
KVWIN32_API BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                 LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
    KVWIN32_SYMBOL(ReadFile);
KVWIN32_API BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                  LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
    KVWIN32_SYMBOL(WriteFile);
KVWIN32_API BOOL WINAPI CloseHandle(HANDLE hObject) KVWIN32_SYMBOL(CloseHandle);
KVWIN32_API BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) KVWIN32_SYMBOL(GetFileSizeEx);
KVWIN32_API DWORD WINAPI GetFileType(HANDLE hFile) KVWIN32_SYMBOL(GetFileType);
KVWIN32_API BOOL WINAPI GetFileInformationByHandle(HANDLE hFile,
                                                   LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
    KVWIN32_SYMBOL(GetFileInformationByHandle);
KVWIN32_API HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
    KVWIN32_SYMBOL(FindFirstFileW);
KVWIN32_API BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
    KVWIN32_SYMBOL(FindNextFileW);
KVWIN32_API BOOL WINAPI FindClose(HANDLE hFindFile) KVWIN32_SYMBOL(FindClose);
KVWIN32_API BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime)
    KVWIN32_SYMBOL(FileTimeToSystemTime);
KVWIN32_API DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) KVWIN32_SYMBOL(GetFileAttributesW);
KVWIN32_API DWORD WINAPI GetLastError(void) KVWIN32_SYMBOL(GetLastError);
KVWIN32_API void WINAPI SetLastError(DWORD dwErrCode) KVWIN32_SYMBOL(SetLastError);
}

#define CreateFile CreateFileW
#define FindFirstFile FindFirstFileW
#define FindNextFile FindNextFileW
#define GetFileAttributes GetFileAttributesW
