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
    explicit SavedPaths(FDesc& desc) : m_desc(desc), m_strSource(desc.strFullPath), m_strTarget(desc.strTargetPath) {}
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

// Folders reached through links (reparse points) on the current branch of the
// walk. A chain this long is a loop, not a tree: it ends with a report
// instead of recursing until the path or the stack gives out.
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

} // namespace

HRESULT CKorvane::CheckDirCRC(FDesc* pFDesc)
{
    if (!pFDesc) {
        CZRLog::GetInstance()->AddError(L"CKorvane::CheckDirCRC(FDesc *pFDesc) pFDesc = NULL !");
        return E_INVALIDARG;
    }
    CZRPathString strFolder(pFDesc->strFullPath);
    strFolder.RemoveBackslash();
    int iPos = 0;
    if (strFolder.Find(L"System Volume Information", &iPos, 0))
        return S_OK;
    const CZRString strShown(strFolder);
    strFolder.AddBackslash();
    CZRString strPattern;
    strPattern.Format(L"%s*.*", static_cast<const wchar_t*>(strFolder));

    // On the heap: a deep tree must not cost the stack a record per level.
    auto pFind = std::make_unique<WIN32_FIND_DATAW>();
    WIN32_FIND_DATAW& fd = *pFind;
    HANDLE hFind = t_iLinkedFolders > kMaxLinkedFolders ? INVALID_HANDLE_VALUE
                                                        : FindFirstFileW(korvane::FileCallPath(strPattern), &fd);
    if (hFind == INVALID_HANDLE_VALUE) {
        // Only a drive root lists without "." and "..": found empty, it is empty.
        if (t_iLinkedFolders <= kMaxLinkedFolders && GetLastError() == ERROR_FILE_NOT_FOUND &&
            korvane::FileExists(strFolder))
            return S_OK;
        // A folder that cannot be listed is not a folder that was verified.
        HRESULT hr = E_FAIL;
        if (m_lpCB) {
            wchar_t szReport[MAX_PATH];
            korvane::CopyToReportBuffer(szReport, strShown);
            hr = MissingFileAnswer(
                m_lpCB(CRCVERIF_FILEERROR, szReport, CRCVERIF_ERROR_MISSING, m_lpUserParam));
        }
        if (hr == S_FALSE)
            return S_OK;
        if (hr == E_ABORT)
            CZRLog::GetInstance()->AddInfo(L"CKorvane::CheckDirCRC(FDesc *pFDesc) Abort Verification");
        else
            CZRLog::GetInstance()->AddError(L"CKorvane::CheckDirCRC(FDesc *pFDesc) ERROR folder %s cannot be listed",
                                            static_cast<const wchar_t*>(strShown));
        return hr;
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
    return S_OK;
}
