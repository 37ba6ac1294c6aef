// Folder searches: FindFirstFileW, FindNextFileW, FindClose. A plain path
// gives its one entry; a pattern in the last component lists the folder.
#include "Internal.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace kvwin32 {
namespace detail {
namespace {

struct CDirCloser {
    void operator()(DIR* pDir) const { ::closedir(pDir); }
};

void FillFindData(std::wstring_view svName, const CFileInfo& info, WIN32_FIND_DATAW& data)
{
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = info.dwAttributes;
    data.ftCreationTime = info.ftCreation;
    data.ftLastAccessTime = info.ftLastAccess;
    data.ftLastWriteTime = info.ftLastWrite;
    data.nFileSizeHigh = static_cast<DWORD>(info.qwSize >> 32);
    data.nFileSizeLow = static_cast<DWORD>(info.qwSize);
    if (info.bLink)
        data.dwReserved0 = IO_REPARSE_TAG_SYMLINK;
    // Callers check the length first; the array always keeps its null.
    const std::size_t cch = svName.size() < MAX_PATH - 1 ? svName.size() : MAX_PATH - 1;
    std::wmemcpy(data.cFileName, svName.data(), cch);
    data.cFileName[cch] = L'\0';
}

class CFindObject : public CHandleObject {
  public:
    // A finished search: the one entry of a plain path was the whole answer.
    CFindObject() = default;
    CFindObject(std::unique_ptr<DIR, CDirCloser> pDir, std::wstring strPattern, const wchar_t* pszSearch)
        : m_pDir(std::move(pDir)), m_strPattern(std::move(strPattern)), m_strSearch(pszSearch)
    {
    }

    // For the fault hook: the path the search was started with ("" for the
    // finished search of a plain path) and how many entries it has given.
    const std::wstring& SearchPath() const { return m_strSearch; }
    unsigned long long Given() const { return m_cGiven.load(std::memory_order_relaxed); }

    EHandleKind Kind() const override { return EHandleKind::Find; }

    // The next entry that matches, or FALSE with the error (ERROR_NO_MORE_FILES at the end).
    BOOL Next(WIN32_FIND_DATAW& data, DWORD& dwError)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pDir) {
            dwError = ERROR_NO_MORE_FILES;
            return FALSE;
        }
        for (;;) {
            // "." and ".." first, as NTFS lists them; the host's own are skipped.
            std::wstring strName;
            const char* pszHostName;
            const bool bDotEntry = m_iDots < 2;
            if (bDotEntry) {
                pszHostName = m_iDots == 0 ? "." : "..";
                strName = m_iDots == 0 ? L"." : L"..";
                ++m_iDots;
            } else {
                errno = 0;
                const struct dirent* pEntry = ::readdir(m_pDir.get());
                if (!pEntry) {
                    dwError = errno ? Win32FromErrno(errno, ERROR_READ_FAULT) : ERROR_NO_MORE_FILES;
                    if (dwError == ERROR_NO_MORE_FILES)
                        m_pDir.reset();
                    return FALSE;
                }
                pszHostName = pEntry->d_name;
                if (std::strcmp(pszHostName, ".") == 0 || std::strcmp(pszHostName, "..") == 0)
                    continue;
                strName = DecodeUtf8(pszHostName);
            }
            // A name Windows could not hold; no host file system makes one.
            if (strName.size() > MAX_PATH - 1 || !MatchesPattern(strName, m_strPattern))
                continue;

            CFileInfo info;
            const int iErr = QueryFileInfo(::dirfd(m_pDir.get()), pszHostName, IsDotName(strName), info);
            if (iErr == ENOENT)
                continue; // gone since the folder was read
            if (iErr) {
                // Listed all the same, so that whoever looks at it next is
                // told it cannot be reached instead of never hearing of it.
                info = CFileInfo();
                info.dwAttributes = bDotEntry ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
            }
            FillFindData(strName, info, data);
            m_cGiven.fetch_add(1, std::memory_order_relaxed);
            return TRUE;
        }
    }

  private:
    std::mutex m_mutex;
    std::unique_ptr<DIR, CDirCloser> m_pDir; // null once the search is over
    std::wstring m_strPattern;
    std::wstring m_strSearch;
    std::atomic<unsigned long long> m_cGiven{0};
    int m_iDots = 0; // how many of "." and ".." have been given
};

HANDLE FailFind(DWORD dwError)
{
    SetLastError(dwError);
    return INVALID_HANDLE_VALUE;
}

// Every search of a plain path ends with its one entry, so they all share
// one finished search.
const std::shared_ptr<CFindObject>& FinishedSearch()
{
    static const std::shared_ptr<CFindObject> s_pFinished = std::make_shared<CFindObject>();
    return s_pFinished;
}

HANDLE FindOne(CWinPath& path, WIN32_FIND_DATAW& data)
{
    if (const DWORD dwError = FindPathError(path))
        return FailFind(dwError);
    CFileInfo info;
    const bool bHidden = IsDotName(path.svLast);
    int iErr = QueryFileInfo(AT_FDCWD, path.strHost.c_str(), bHidden, info);
    if (IsMissingErrno(iErr) && FoldPath(path)) {
        iErr = QueryFileInfo(AT_FDCWD, path.strHost.c_str(), bHidden, info);
        if (iErr == 0) {
            // Found under another case: the entry bears the name the folder holds.
            const std::wstring strName = DecodeUtf8(path.strHost.c_str() + path.cchParent + 1);
            if (strName.size() > MAX_PATH - 1)
                return FailFind(ERROR_FILENAME_EXCED_RANGE);
            FillFindData(strName, info, data);
            return AddHandle(FinishedSearch());
        }
    }
    if (iErr)
        return FailFind(iErr == ENOENT ? MissingError(path) : Win32FromErrno(iErr));
    FillFindData(path.svLast, info, data);
    return AddHandle(FinishedSearch());
}

int OpenFolder(const std::string& strFolder)
{
    int iFd;
    do {
        iFd = ::open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (iFd < 0 && errno == EINTR);
    return iFd;
}

HANDLE FindInFolder(const wchar_t* pszSearch, CWinPath& path, WIN32_FIND_DATAW& data)
{
    std::string strFolder;
    if (const DWORD dwError = ParentHostPath(path, strFolder))
        return FailFind(dwError);
    int iFd = OpenFolder(strFolder);
    if (iFd < 0 && IsMissingErrno(errno) && FoldParent(path) &&
        ParentHostPath(path, strFolder) == ERROR_SUCCESS)
        iFd = OpenFolder(strFolder);
    if (iFd < 0) {
        const int iErr = errno;
        return FailFind(iErr == ENOENT || iErr == ENOTDIR ? ERROR_PATH_NOT_FOUND : Win32FromErrno(iErr));
    }
    std::unique_ptr<DIR, CDirCloser> pDir(::fdopendir(iFd));
    if (!pDir) {
        const int iErr = errno;
        ::close(iFd);
        return FailFind(Win32FromErrno(iErr));
    }
    auto pFind = std::make_shared<CFindObject>(std::move(pDir), std::wstring(path.svLast), pszSearch);
    DWORD dwError = ERROR_SUCCESS;
    if (!pFind->Next(data, dwError))
        return FailFind(dwError == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : dwError);
    return AddHandle(pFind);
}

} // namespace
} // namespace detail
} // namespace kvwin32

using namespace kvwin32::detail;

extern "C" {

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    DWORD dwHookError = ERROR_SUCCESS;
    const kvwin32::FaultContext ctx = {kvwin32::Call::FindFirstFileW, lpFileName ? lpFileName : L"", 0,
                                       nullptr};
    if (!ConsultFaultHook(ctx, dwHookError))
        return FailFind(dwHookError);
    if (!lpFindFileData)
        return FailFind(ERROR_INVALID_PARAMETER);
    CWinPath path;
    if (const DWORD dwError = ParseWinPath(lpFileName, path))
        return FailFind(dwError);
    // A drive's root, or a path ending with a separator, names no entry.
    if (path.cParts == 0 || path.bTrailingSep)
        return FailFind(ERROR_FILE_NOT_FOUND);
    if (path.pImage)
        return ImageFindFirst(lpFileName, path, *lpFindFileData);
    if (HasWildcard(path.svLast))
        return FindInFolder(lpFileName, path, *lpFindFileData);
    return FindOne(path, *lpFindFileData);
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    const std::shared_ptr<CFindObject> pFind =
        std::static_pointer_cast<CFindObject>(LookupHandle(hFindFile, EHandleKind::Find));
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!pFind)
        return ImageFindNext(hFindFile, *lpFindFileData);
    DWORD dwError = ERROR_SUCCESS;
    if (!HookAllowsFindNext(pFind->SearchPath(), pFind->Given(), dwError)) {
        SetLastError(dwError);
        return FALSE;
    }
    if (!pFind->Next(*lpFindFileData, dwError)) {
        SetLastError(dwError);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    if (!RemoveHandle(hFindFile, EHandleKind::Find) && !ImageFindClose(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
