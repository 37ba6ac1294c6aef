// The folder comparison: a depth-first walk of the source folder, each file
// compared with the one at the same place under the target folder.
#include "Korvane.h"

#include <cwchar>
#include <memory>

#include "LongPath.h"
#include "ReportBuffer.h"
#include "ZRLog.h"

namespace {

class FindHandle {
  public:
    explicit FindHandle(HANDLE hFind) : m_hFind(hFind) {}
    ~FindHandle() { FindClose(m_hFind); }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const { return m_hFind; }

  private:
    HANDLE m_hFind;
};

bool IsDotEntry(const wchar_t* pszName)
{
    return std::wcscmp(pszName, L".") == 0 || std::wcscmp(pszName, L"..") == 0;
}

// The source paths and target paths of an FDesc, put back unless released.
class SavedPaths {
  public:
    explicit SavedPaths(FDesc& desc)
        : m_desc(desc), m_strSource(desc.strFullPath), m_strTarget(desc.strTargetPath)
    {
    }
    void Restore()
    {
        m_desc.strFullPath = m_strSource;
        m_desc.strTargetPath = m_strTarget;
    }

  private:
    FDesc& m_desc;
    CZRPathString m_strSource;
    CZRPathString m_strTarget;
};

// The folder Windows keeps its own records in on every volume: a walk never
// goes into one, but only a folder of exactly that name (in any case) is it.
bool IsSystemFolderName(const wchar_t* pch, std::size_t cch)
{
    static const wchar_t kName[] = L"system volume information";
    if (cch != sizeof kName / sizeof kName[0] - 1)
        return false;
    for (std::size_t i = 0; i < cch; ++i) {
        const wchar_t wc =
            (pch[i] >= L'A' && pch[i] <= L'Z') ? static_cast<wchar_t>(pch[i] + (L'a' - L'A')) : pch[i];
        if (wc != kName[i])
            return false;
    }
    return true;
}

bool IsBelowSystemFolder(const wchar_t* pszPath)
{
    const wchar_t* pchPart = pszPath;
    for (const wchar_t* p = pszPath;; ++p) {
        if (*p == L'\\' || *p == L'/' || *p == L'\0') {
            if (IsSystemFolderName(pchPart, static_cast<std::size_t>(p - pchPart)))
                return true;
            if (*p == L'\0')
                return false;
            pchPart = p + 1;
        }
    }
}

// What names a folder whatever path reaches it: volume serial and file index.
struct FolderId {
    DWORD dwVolume = 0;
    DWORD dwIndexHigh = 0;
    DWORD dwIndexLow = 0;
    bool operator==(const FolderId& o) const
    {
        return dwVolume == o.dwVolume && dwIndexHigh == o.dwIndexHigh && dwIndexLow == o.dwIndexLow;
    }
};

// False when the folder cannot be opened or names no usable index: some file
// systems give every file 0 (or all ones), and taking those for one folder
// would skip folders that were never checked.
bool GetFolderId(const wchar_t* pszFolder, FolderId& id)
{
    const HANDLE h = CreateFileW(korvane::FileCallPath(pszFolder), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL bOk = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!bOk)
        return false;
    if ((info.nFileIndexHigh == 0 && info.nFileIndexLow == 0) ||
        (info.nFileIndexHigh == 0xFFFFFFFFu && info.nFileIndexLow == 0xFFFFFFFFu))
        return false;
    id.dwVolume = info.dwVolumeSerialNumber;
    id.dwIndexHigh = info.nFileIndexHigh;
    id.dwIndexLow = info.nFileIndexLow;
    return true;
}

// The folders of the current branch of a walk, innermost first: one per
// level, on that level's stack. A walk is told from another one on the same
// thread (a host's callback may start one) by the FDesc it changes.
struct BranchFolder {
    const FDesc* pOwner;
    const BranchFolder* pOuter;
    bool bKnown; // id could be read
    FolderId id;
};
thread_local const BranchFolder* t_pBranch = nullptr;

bool IsOnBranch(const FDesc* pOwner, const FolderId& id)
{
    for (const BranchFolder* p = t_pBranch; p; p = p->pOuter)
        if (p->pOwner == pOwner && p->bKnown && p->id == id)
            return true;
    return false;
}

class BranchLevel {
  public:
    explicit BranchLevel(BranchFolder& folder) : m_pSaved(t_pBranch)
    {
        folder.pOuter = t_pBranch;
        t_pBranch = &folder;
    }
    ~BranchLevel() { t_pBranch = m_pSaved; }
    BranchLevel(const BranchLevel&) = delete;
    BranchLevel& operator=(const BranchLevel&) = delete;

  private:
    const BranchFolder* m_pSaved;
};

// Folders reached through links (reparse points) on the current branch of the
// walk. Links back to the branch are found by identity; this is the last
// guard, for folders whose identity cannot be read: a chain this long is a
// loop, not a tree, and ends with a report instead of recursing until the
// path or the stack gives out.
const int kMaxLinkedFolders = 40;
thread_local int t_iLinkedFolders = 0;

class LinkedFolder {
  public:
    explicit LinkedFolder(bool bLink) : m_bLink(bLink) { t_iLinkedFolders += m_bLink ? 1 : 0; }
    ~LinkedFolder() { t_iLinkedFolders -= m_bLink ? 1 : 0; }
    LinkedFolder(const LinkedFolder&) = delete;
    LinkedFolder& operator=(const LinkedFolder&) = delete;

  private:
    bool m_bLink;
};

// The walk's two rules in which the revisions differ.
#if KORVANE_REVISION >= 11

// Only a failure or an abort stops the walk, and its code passes up.
HRESULT FolderWalkStop(HRESULT hrEntry)
{
    return (hrEntry == E_ABORT || hrEntry == E_FAIL) ? hrEntry : S_OK;
}

// The host's answer to a missing-file report turned into a result: E_ABORT,
// E_FAIL, or S_FALSE for a skip.
HRESULT MissingFileAnswer(DWORD dwAnswer)
{
    if (dwAnswer == CRCVERIF_ANSWER_ABORT)
        return E_ABORT;
    if (dwAnswer == CRCVERIF_ANSWER_FAIL)
        return E_FAIL;
    return S_FALSE;
}

#else

// Any negative result stops the walk, which then fails as a whole.
HRESULT FolderWalkStop(HRESULT hrEntry)
{
    return FAILED(hrEntry) ? E_FAIL : S_OK;
}

// Revision 1.0 knows no abort: every answer but "fail" skips.
HRESULT MissingFileAnswer(DWORD dwAnswer)
{
    return dwAnswer == CRCVERIF_ANSWER_FAIL ? E_FAIL : S_FALSE;
}

#endif

// A folder that cannot be listed, or whose listing broke off, is not a folder
// that was verified: reported like a missing source. S_OK when the host
// skips it.
HRESULT ReportUnlisted(CRCVERIFCB lpCB, LPVOID lpUserParam, const wchar_t* pszFolder, const wchar_t* pszError)
{
    HRESULT hr = E_FAIL;
    if (lpCB) {
        wchar_t szReport[MAX_PATH];
        korvane::CopyToReportBuffer(szReport, pszFolder);
        hr = MissingFileAnswer(lpCB(CRCVERIF_FILEERROR, szReport, CRCVERIF_ERROR_MISSING, lpUserParam));
    }
    if (hr == S_FALSE)
        return S_OK;
    if (hr == E_ABORT)
        CZRLog::GetInstance()->AddInfo(L"CKorvane::CheckDirCRC(FDesc *pFDesc) Abort Verification");
    else
        CZRLog::GetInstance()->AddError(pszError, pszFolder);
    return hr;
}

} // namespace

HRESULT CKorvane::CheckDirCRC(FDesc* pFDesc)
{
    if (!pFDesc) {
        CZRLog::GetInstance()->AddError(L"CKorvane::CheckDirCRC(FDesc *pFDesc) pFDesc = NULL !");
        return E_INVALIDARG;
    }
    CZRPathString strFolder(pFDesc->strFullPath);
    strFolder.RemoveBackslash();
    if (IsBelowSystemFolder(strFolder))
        return S_OK;
    const CZRString strShown(strFolder);
    strFolder.AddBackslash();

    // A folder already on this branch, reached again through a link, is
    // being walked already: walking it again would repeat it without end.
    BranchFolder here = {pFDesc, nullptr, false, FolderId()};
    here.bKnown = GetFolderId(strFolder, here.id);
    if (here.bKnown && IsOnBranch(pFDesc, here.id))
        return S_OK;
    const BranchLevel level(here);

    CZRString strPattern;
    strPattern.Format(L"%s*.*", static_cast<const wchar_t*>(strFolder));

    // On the heap: a deep tree must not cost the stack a record per level.
    auto pFind = std::make_unique<WIN32_FIND_DATAW>();
    WIN32_FIND_DATAW& fd = *pFind;
    HANDLE hFind = t_iLinkedFolders > kMaxLinkedFolders
                       ? INVALID_HANDLE_VALUE
                       : FindFirstFileW(korvane::FileCallPath(strPattern), &fd);
    if (hFind == INVALID_HANDLE_VALUE) {
        // Only a drive root lists without "." and "..": found empty, it is empty.
        if (t_iLinkedFolders <= kMaxLinkedFolders && GetLastError() == ERROR_FILE_NOT_FOUND &&
            korvane::FileExists(strFolder))
            return S_OK;
        return ReportUnlisted(m_lpCB, m_lpUserParam, strShown,
                              L"CKorvane::CheckDirCRC(FDesc *pFDesc) ERROR folder %s cannot be listed");
    }
    FindHandle search(hFind);
    do {
        const bool bFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (bFolder && IsDotEntry(fd.cFileName))
            continue;
        SavedPaths saved(*pFDesc);
        CZRPathString strEntry(strFolder);
        strEntry += fd.cFileName;
        pFDesc->strTargetPath += fd.cFileName;
        HRESULT hr;
        if (bFolder) {
            strEntry.AddBackslash();
            pFDesc->strFullPath = strEntry;
            pFDesc->strTargetPath.AddBackslash();
            const LinkedFolder link((fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
            hr = CheckDirCRC(pFDesc);
        } else {
            pFDesc->strFullPath = strEntry;
            hr = CheckFileCRC(pFDesc);
        }
        // A stopping result leaves the paths naming the entry that stopped.
        const HRESULT hrStop = FolderWalkStop(hr);
        if (hrStop != S_OK)
            return hrStop;
        saved.Restore();
    } while (FindNextFileW(search.Get(), &fd));
    // The search ends at its last entry; any other failure leaves the rest
    // of the folder unchecked.
    if (GetLastError() != ERROR_NO_MORE_FILES)
        return ReportUnlisted(
            m_lpCB, m_lpUserParam, strShown,
            L"CKorvane::CheckDirCRC(FDesc *pFDesc) ERROR folder %s cannot be listed to its end");
    return S_OK;
}
