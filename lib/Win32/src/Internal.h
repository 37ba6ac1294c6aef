// What the pieces of the Win32 layer share among themselves: text and path
// conversion, error translation, the handle table and file information.
#pragma once

#include <kvwin32.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvwin32 {
namespace detail {

// ---- Text -----------------------------------------------------------------

// Appends the UTF-8 form of cch wide characters. False when one of them is
// not a Unicode scalar value (a surrogate, or above U+10FFFF).
bool AppendUtf8(std::string& strOut, const wchar_t* pch, std::size_t cch);

// The wide form of a host name. Bytes that are not valid UTF-8 become
// U+DC80..U+DCFF, which AppendUtf8 refuses: such a name can be listed but
// never opened, so it cannot pass unnoticed.
std::wstring DecodeUtf8(const char* psz);

// ---- Paths ----------------------------------------------------------------

// A Windows path taken apart: the host folder it starts from and the
// normalised components below it ("." dropped, ".." applied, never above
// the root).
struct CWinPath {
    std::string strRoot; // host folder of the drive; "" for the host root "/"
    std::vector<std::wstring> vecParts;
    bool bTrailingSep = false; // the path ended with a separator
};

// ERROR_SUCCESS, or the error a Windows call reports for this path.
DWORD ParseWinPath(const wchar_t* pszPath, CWinPath& path);

// The host path of the first cParts components (all of them and the
// trailing separator when cParts is the whole count).
DWORD HostPath(const CWinPath& path, std::size_t cParts, std::string& strHost);
inline DWORD HostPath(const CWinPath& path, std::string& strHost)
{
    return HostPath(path, path.vecParts.size(), strHost);
}

// The error for a path that the file system says does not exist: a missing
// file in an existing folder is ERROR_FILE_NOT_FOUND, anything else is
// ERROR_PATH_NOT_FOUND.
DWORD MissingError(const CWinPath& path);

// ---- Errors ---------------------------------------------------------------

// The Win32 error for an errno; dwIoError is what EIO means for the call.
DWORD Win32FromErrno(int iErrno, DWORD dwIoError = ERROR_GEN_FAILURE);

// ---- Handles --------------------------------------------------------------

enum class EHandleKind { File, Find };

class CHandleObject {
public:
    virtual ~CHandleObject() = default;
    virtual EHandleKind Kind() const = 0;
};

// Registers an object; the handle is never null nor INVALID_HANDLE_VALUE.
HANDLE AddHandle(std::shared_ptr<CHandleObject> pObject);
// The object of a handle of that kind, or null.
std::shared_ptr<CHandleObject> LookupHandle(HANDLE h, EHandleKind eKind);
// Unregisters a handle of that kind; the object dies with its last user.
bool RemoveHandle(HANDLE h, EHandleKind eKind);

// ---- Fault seam -----------------------------------------------------------

// TRUE to go on; FALSE with dwError set to fail the call. Without a hook it
// costs one atomic load.
BOOL ConsultFaultHook(const FaultContext& ctx, DWORD& dwError);

// ---- File information -----------------------------------------------------

struct CFileInfo {
    DWORD dwAttributes = 0;
    ULONGLONG qwSize = 0;
    FILETIME ftCreation = {0, 0};
    FILETIME ftLastAccess = {0, 0};
    FILETIME ftLastWrite = {0, 0};
    bool bLink = false;
};

// Information about pszPath (relative to iDirFd, or AT_FDCWD): links are
// followed for the sizes and times but keep FILE_ATTRIBUTE_REPARSE_POINT; a
// dangling link describes itself. bHiddenName adds FILE_ATTRIBUTE_HIDDEN.
// 0 or the errno of the failure.
int QueryFileInfo(int iDirFd, const char* pszPath, bool bHiddenName, CFileInfo& info);

// A name that Windows would show hidden: a leading dot, "." and ".." aside.
bool IsDotName(const std::wstring& strName);

FILETIME FileTimeFromUnix(std::int64_t llSeconds, long lNanoseconds);

// ---- Wildcards ------------------------------------------------------------

bool HasWildcard(const std::wstring& strPattern);
// Windows matching: case-insensitive, "*.*" matches every name, "x.*" also
// matches "x", "?" may match nothing before a dot or at the end.
bool MatchesPattern(const std::wstring& strName, const std::wstring& strPattern);

} // namespace detail
} // namespace kvwin32
