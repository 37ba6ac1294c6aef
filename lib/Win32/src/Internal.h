// What the pieces of the Win32 layer share among themselves: text and path
// conversion, error translation, the handle table and file information.
#pragma once

#include <kvwin32.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kvwin32 {
namespace detail {

class CDiscImage;

// ---- Text -----------------------------------------------------------------

// No Windows name holds \ * ? : " < > | (a separator, wildcards, a drive
// or stream, a quote, redirections): a host name that does is shown with the
// private-use character U+F000 plus that character in its place, as Cygwin
// and WSL show it, and the stand-in names the character again on the way
// back. So a "?" of a host name is never taken for a wildcard.
wchar_t StandInFor(char32_t c);   // 0: c needs none
char32_t CharacterFor(wchar_t c); // 0: c stands in for none

// Appends the UTF-8 form of cch wide characters (stand-ins as what they
// stand for). False when one of them is not a Unicode scalar value (a
// surrogate, or above U+10FFFF); what was appended before it is then of no
// use.
bool AppendUtf8(std::string& strOut, const wchar_t* pch, std::size_t cch);

// The wide form of a host name (with stand-ins). Bytes that are not valid
// UTF-8 become U+DC80..U+DCFF, which AppendUtf8 refuses: such a name can be
// listed but never opened, so it cannot pass unnoticed. So does a name that
// holds a stand-in itself (U+F05C as U+DCEF U+DC81 U+DC9C), which would
// otherwise open another file.
std::wstring DecodeUtf8(const char* psz);

// ---- Paths ----------------------------------------------------------------

// A Windows path taken apart and mapped: the host path it names, built while
// the components are read ("." dropped, ".." applied, never above the
// drive's folder), and what the calls need of its last component. One
// buffer however deep the path is.
struct CWinPath {
    static constexpr std::size_t kNoBadPart = static_cast<std::size_t>(-1);

    // The host path, meaningful only when HostPathError() is ERROR_SUCCESS.
    std::string strHost;
    std::size_t cParts = 0;    // components left after normalising
    std::size_t cchParent = 0; // length of strHost up to the last component's separator
    std::size_t cchRoot = 0;   // length of strHost that is a drive's folder, whose case is its own
    // The first component left that holds a character no host name can
    // hold (a surrogate, or above U+10FFFF); kNoBadPart when none does.
    std::size_t iFirstBadPart = kNoBadPart;
    std::wstring_view svLast;  // the last component, inside the text that was parsed
    bool bTrailingSep = false; // the path ended with a separator
    // The drive is a disc image: strHost is then the path inside it ("/a/b").
    std::shared_ptr<CDiscImage> pImage;
};

// ERROR_SUCCESS, or the error a Windows call reports for this path. The text
// must outlive path, which points into it.
DWORD ParseWinPath(const wchar_t* pszPath, CWinPath& path);

// ERROR_SUCCESS when path.strHost can be used, or the error for a name the
// host cannot hold: the file is not found when it is the last component,
// the path otherwise.
DWORD HostPathError(const CWinPath& path);

// The host path of the folder that holds the last component.
DWORD ParentHostPath(const CWinPath& path, std::string& strParent);

// For a path not found with its exact spelling: rewrites strHost to the
// names the folders hold, matched without regard to case. True when it now
// names an entry; false, with the path and errno unchanged, when nothing
// matches.
bool FoldPath(CWinPath& path);
// The same for the folder that holds the last component, where a new file
// is made; the last component keeps its spelling.
bool FoldParent(CWinPath& path);

// Whether an errno says the path, as spelled, is not there.
inline bool IsMissingErrno(int iErr)
{
    return iErr == ENOENT || iErr == ENOTDIR;
}

// The error for a path that the file system says does not exist: a missing
// file in an existing folder is ERROR_FILE_NOT_FOUND, anything else is
// ERROR_PATH_NOT_FOUND.
DWORD MissingError(const CWinPath& path);

// ---- Errors ---------------------------------------------------------------

// The Win32 error for an errno; dwIoError is what EIO means for the call.
DWORD Win32FromErrno(int iErrno, DWORD dwIoError = ERROR_GEN_FAILURE);

// ---- Handles --------------------------------------------------------------

enum class EHandleKind { File, Find, ImageFile, ImageFind };

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

// ---- Checks every kind of handle makes (CallChecks.cpp) --------------------

// ERROR_SUCCESS, or why a ReadFile of cb bytes into pv cannot start.
DWORD ReadCallError(const void* pv, DWORD cb, bool bFolder, bool bRead);
// True to go on, with how much of cb to read; false with dwError set when
// the fault hook fails the call (an error of 0 too).
bool HookAllowsRead(const std::wstring& strPath, ULONGLONG qwPosition, DWORD cb, DWORD& dwToRead,
                    DWORD& dwError);
bool HookAllowsFindNext(const std::wstring& strSearch, unsigned long long cGiven, DWORD& dwError);
bool HookAllowsFileInformation(const std::wstring& strPath, DWORD& dwError);
// ERROR_SUCCESS, or the error a search of this path fails with before any
// folder is read: a name the host cannot hold, or one too long to return.
DWORD FindPathError(const CWinPath& path);

// ---- File information -----------------------------------------------------

struct CFileInfo {
    DWORD dwAttributes = 0;
    ULONGLONG qwSize = 0;
    FILETIME ftCreation = {0, 0};
    FILETIME ftLastAccess = {0, 0};
    FILETIME ftLastWrite = {0, 0};
    bool bLink = false;
    std::uint64_t qwDevice = 0; // what names the file on the host: device and inode
    std::uint64_t qwInode = 0;
    std::uint64_t qwLinks = 0; // hard links; 1 for a folder, as on Windows
};

// Information about pszPath (relative to iDirFd, or AT_FDCWD): links are
// followed for the sizes and times but keep FILE_ATTRIBUTE_REPARSE_POINT; a
// dangling link describes itself. bHiddenName adds FILE_ATTRIBUTE_HIDDEN.
// 0 or the errno of the failure.
int QueryFileInfo(int iDirFd, const char* pszPath, bool bHiddenName, CFileInfo& info);
// The same for an open descriptor (an O_PATH one too), which names what a
// link led to.
int QueryOpenFileInfo(int iFd, bool bHiddenName, CFileInfo& info);

// A name that Windows would show hidden: a leading dot, "." and ".." aside.
bool IsDotName(std::wstring_view svName);

FILETIME FileTimeFromUnix(std::int64_t llSeconds, long lNanoseconds);

// ---- Wildcards ------------------------------------------------------------

bool HasWildcard(std::wstring_view svPattern);
// Windows matching: case-insensitive, "*.*" matches every name, "x.*" also
// matches "x", "?" may match nothing before a dot or at the end.
bool MatchesPattern(const std::wstring& strName, const std::wstring& strPattern);

// ---- Disc images (image/) ------------------------------------------------

// The image a drive's mapping names (a regular file or a block device);
// null for a folder, and null with dwError set for an image that cannot be read.
std::shared_ptr<CDiscImage> ImageForDrive(wchar_t wcLetter, const std::string& strRoot, DWORD& dwError);
// The calls on a path whose pImage is set. Each sets the last error as the
// call it stands for does.
HANDLE ImageCreateFile(const CWinPath& path, const wchar_t* pszPath, DWORD dwAccess, DWORD dwDisposition,
                       DWORD dwFlags);
DWORD ImageAttributes(const CWinPath& path);
HANDLE ImageFindFirst(const wchar_t* pszSearch, const CWinPath& path, WIN32_FIND_DATAW& data);
// The calls on a handle that is not a plain file's or search's: an image's,
// or else ERROR_INVALID_HANDLE.
BOOL ImageFindNext(HANDLE h, WIN32_FIND_DATAW& data);
bool ImageFindClose(HANDLE h);
BOOL ImageReadFile(HANDLE h, void* pv, DWORD cb, DWORD* pcbRead);
BOOL ImageWriteFile(HANDLE h);
BOOL ImageGetFileSizeEx(HANDLE h, LARGE_INTEGER* pSize);
DWORD ImageGetFileType(HANDLE h);
BOOL ImageCloseHandle(HANDLE h);
BOOL ImageGetFileInformation(HANDLE h, BY_HANDLE_FILE_INFORMATION* pInfo);

} // namespace detail
} // namespace kvwin32
