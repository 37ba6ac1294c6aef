// The file calls on a drive that is a disc image: opens, reads, attributes,
// searches and file information, answered from the image. Nothing on it can
// be written.
#include "image/DiscImage.h"

#include "Internal.h"
#include "ReadAhead.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <mutex>

namespace kvwin32 {
namespace detail {
namespace {

BOOL Fail(DWORD dwError)
{
    SetLastError(dwError);
    return FALSE;
}

HANDLE FailHandle(DWORD dwError)
{
    SetLastError(dwError);
    return INVALID_HANDLE_VALUE;
}

// A disc's files are read-only, as Windows shows them.
DWORD EntryAttributes(const CImageEntry& entry, std::wstring_view svName)
{
    DWORD dw = FILE_ATTRIBUTE_READONLY;
    if (entry.bFolder)
        dw |= FILE_ATTRIBUTE_DIRECTORY;
    if (entry.bHidden || IsDotName(svName))
        dw |= FILE_ATTRIBUTE_HIDDEN;
    return dw;
}

void FillFindData(const CImageEntry& entry, std::wstring_view svName, WIN32_FIND_DATAW& data)
{
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = EntryAttributes(entry, svName);
    data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = entry.ftWrite;
    data.nFileSizeHigh = static_cast<DWORD>(entry.qwSize >> 32);
    data.nFileSizeLow = static_cast<DWORD>(entry.qwSize);
    const std::size_t cch = svName.size() < MAX_PATH - 1 ? svName.size() : MAX_PATH - 1;
    std::wmemcpy(data.cFileName, svName.data(), cch);
    data.cFileName[cch] = L'\0';
}

class CImageFile : public CHandleObject {
  public:
    CImageFile(std::shared_ptr<CDiscImage> pImage, const CImageEntry& entry, const wchar_t* pszPath,
               bool bRead)
        : m_pImage(std::move(pImage)), m_entry(entry), m_strPath(pszPath), m_bRead(bRead)
    {
    }
    EHandleKind Kind() const override { return EHandleKind::ImageFile; }

    const std::shared_ptr<CDiscImage> m_pImage; // keeps the entry alive
    const CImageEntry& m_entry;
    const std::wstring m_strPath;
    const bool m_bRead;
    std::mutex m_mutex;
    ULONGLONG m_qwPosition = 0;
    CReadAhead m_ahead; // its worker's reads need m_pImage: declared after it, it ends first
};

class CImageFind : public CHandleObject {
  public:
    CImageFind() = default;
    CImageFind(std::shared_ptr<CDiscImage> pImage, const CImageEntry& folder,
               const std::vector<std::size_t>& vecChildren, std::wstring strPattern, const wchar_t* pszSearch)
        : m_pImage(std::move(pImage)), m_pFolder(&folder), m_pvecChildren(&vecChildren),
          m_strPattern(std::move(strPattern)), m_strSearch(pszSearch)
    {
    }
    EHandleKind Kind() const override { return EHandleKind::ImageFind; }

    BOOL Next(WIN32_FIND_DATAW& data, DWORD& dwError)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pImage) {
            dwError = ERROR_NO_MORE_FILES;
            return FALSE;
        }
        while (m_iNext < m_pvecChildren->size() + 2) {
            const std::size_t i = m_iNext++;
            if (i < 2) {
                const std::wstring strDot = i == 0 ? L"." : L"..";
                if (!MatchesPattern(strDot, m_strPattern))
                    continue;
                FillFindData(*m_pFolder, strDot, data);
                ++m_cGiven;
                return TRUE;
            }
            const CImageEntry& entry = m_pImage->Entry((*m_pvecChildren)[i - 2]);
            if (!MatchesPattern(entry.wstrName, m_strPattern))
                continue;
            FillFindData(entry, entry.wstrName, data);
            ++m_cGiven;
            return TRUE;
        }
        m_pImage.reset();
        dwError = ERROR_NO_MORE_FILES;
        return FALSE;
    }

    std::mutex m_mutex;
    std::shared_ptr<CDiscImage> m_pImage; // null once the search is over
    const CImageEntry* m_pFolder = nullptr;
    const std::vector<std::size_t>* m_pvecChildren = nullptr;
    std::wstring m_strPattern;
    std::wstring m_strSearch;
    std::size_t m_iNext = 0;
    unsigned long long m_cGiven = 0;
};

std::shared_ptr<CImageFile> LookupImageFile(HANDLE h)
{
    return std::static_pointer_cast<CImageFile>(LookupHandle(h, EHandleKind::ImageFile));
}

} // namespace

HANDLE ImageCreateFile(const CWinPath& path, const wchar_t* pszPath, DWORD dwAccess, DWORD dwDisposition,
                       DWORD dwFlags)
{
    if (dwDisposition < CREATE_NEW || dwDisposition > TRUNCATE_EXISTING)
        return FailHandle(ERROR_INVALID_PARAMETER);
    const CImageEntry* pEntry = nullptr;
    const DWORD dwError = path.pImage->Lookup(path.strHost, pEntry);
    if (dwError == ERROR_SUCCESS && dwDisposition == CREATE_NEW)
        return FailHandle(ERROR_FILE_EXISTS);
    // A new file, or a change to one, on a disc: refused as Windows refuses it.
    if ((dwAccess & GENERIC_WRITE) || dwDisposition != OPEN_EXISTING) {
        if (dwError != ERROR_SUCCESS && dwError != ERROR_FILE_NOT_FOUND)
            return FailHandle(dwError);
        return FailHandle(ERROR_ACCESS_DENIED);
    }
    if (dwError)
        return FailHandle(dwError);
    if (pEntry->bFolder && !(dwFlags & FILE_FLAG_BACKUP_SEMANTICS))
        return FailHandle(ERROR_ACCESS_DENIED);
    try {
        HANDLE h = AddHandle(
            std::make_shared<CImageFile>(path.pImage, *pEntry, pszPath, (dwAccess & GENERIC_READ) != 0));
        SetLastError(ERROR_SUCCESS);
        return h;
    } catch (...) {
        return FailHandle(ERROR_NOT_ENOUGH_MEMORY);
    }
}

DWORD ImageAttributes(const CWinPath& path)
{
    const CImageEntry* pEntry = nullptr;
    if (const DWORD dwError = path.pImage->Lookup(path.strHost, pEntry)) {
        SetLastError(dwError);
        return INVALID_FILE_ATTRIBUTES;
    }
    return EntryAttributes(*pEntry, pEntry->wstrName);
}

HANDLE ImageFindFirst(const wchar_t* pszSearch, const CWinPath& path, WIN32_FIND_DATAW& data)
{
    if (const DWORD dwError = FindPathError(path))
        return FailHandle(dwError);
    CDiscImage& image = *path.pImage;
    const CImageEntry* pEntry = nullptr;
    if (!HasWildcard(path.svLast)) {
        if (const DWORD dwError = image.Lookup(path.strHost, pEntry))
            return FailHandle(dwError);
        FillFindData(*pEntry, pEntry->wstrName, data);
        return AddHandle(std::make_shared<CImageFind>());
    }
    const std::string_view svFolder(path.strHost.data(), path.cchParent);
    const std::vector<std::size_t>* pvecChildren = nullptr;
    DWORD dwError = image.Lookup(svFolder, pEntry);
    if (dwError == ERROR_FILE_NOT_FOUND)
        dwError = ERROR_PATH_NOT_FOUND;
    if (dwError == ERROR_SUCCESS && !pEntry->bFolder)
        dwError = ERROR_PATH_NOT_FOUND;
    if (dwError == ERROR_SUCCESS)
        dwError = image.Children(*pEntry, pvecChildren);
    if (dwError)
        return FailHandle(dwError);
    auto pFind = std::make_shared<CImageFind>(path.pImage, *pEntry, *pvecChildren, std::wstring(path.svLast),
                                              pszSearch);
    if (!pFind->Next(data, dwError))
        return FailHandle(dwError == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : dwError);
    return AddHandle(pFind);
}

BOOL ImageFindNext(HANDLE h, WIN32_FIND_DATAW& data)
{
    const auto pFind = std::static_pointer_cast<CImageFind>(LookupHandle(h, EHandleKind::ImageFind));
    if (!pFind)
        return Fail(ERROR_INVALID_HANDLE);
    DWORD dwError = ERROR_SUCCESS;
    unsigned long long cGiven;
    {
        std::lock_guard<std::mutex> lock(pFind->m_mutex);
        cGiven = pFind->m_cGiven;
    }
    if (!HookAllowsFindNext(pFind->m_strSearch, cGiven, dwError))
        return Fail(dwError);
    if (!pFind->Next(data, dwError))
        return Fail(dwError);
    return TRUE;
}

bool ImageFindClose(HANDLE h)
{
    return RemoveHandle(h, EHandleKind::ImageFind);
}

namespace {

long long ReadPiece(void* pSource, ULONGLONG qwAt, char* pch, DWORD cb)
{
    CImageFile& file = *static_cast<CImageFile*>(pSource);
    DWORD cbRead = 0;
    if (file.m_pImage->Read(file.m_entry, qwAt, pch, cb, cbRead) != ERROR_SUCCESS)
        return -1;
    return cbRead;
}

// A file's bytes read ahead as a file on a folder is read (ReadAhead.h), so
// an image read on costs one system call per read-ahead. A read-ahead that
// fails, or ends before the request does, is not used: the request then
// reads the image itself and meets the error where it is. Bytes taken from
// the read-ahead before an error are delivered, and the error comes with
// the next call, as on a folder.
DWORD ReadImageFile(CImageFile& file, char* pch, DWORD cb, DWORD& cbDone)
{
    CDiscImage& image = *file.m_pImage;
    cbDone = file.m_ahead.TakeFresh(pch, cb);
    DWORD dwError = ERROR_SUCCESS;
    if (cbDone < cb) {
        const DWORD cbWant = cb - cbDone;
        const ULONGLONG qwAt = file.m_qwPosition + cbDone;
        const ULONGLONG qwSize = file.m_entry.qwSize;
        bool bFirstBuffer = false;
        if (file.m_ahead.ShouldReadAhead(cbWant, qwAt, qwSize, bFirstBuffer)) {
            const auto tBefore = CReadAhead::Clock::now();
            const DWORD cbAsk = static_cast<DWORD>(std::min<ULONGLONG>(kReadAheadSize, qwSize - qwAt));
            DWORD cbAhead = 0;
            if (const DWORD cbTaken = file.m_ahead.TakePrefetched(qwAt, pch + cbDone, cbWant)) {
                cbDone += cbTaken;
                cbAhead = kReadAheadSize;
            } else if (image.Read(file.m_entry, qwAt, file.m_ahead.Buffer(), cbAsk, cbAhead) ==
                           ERROR_SUCCESS &&
                       cbAhead >= cbWant) {
                cbDone += file.m_ahead.Filled(tBefore, cbAhead, pch + cbDone, cbWant);
            } else {
                cbAhead = 0;
            }
            file.m_ahead.PrefetchNext(&ReadPiece, &file, qwAt, cbAhead, qwSize);
        }
        if (cbDone < cb) {
            DWORD cbDirect = 0;
            dwError = image.Read(file.m_entry, qwAt, pch + cbDone, cbWant, cbDirect);
            if (cbDone != 0)
                dwError = ERROR_SUCCESS;
            cbDone += cbDirect;
        }
    }
    file.m_ahead.CallDone(cb, cbDone);
    return dwError;
}

} // namespace

BOOL ImageReadFile(HANDLE h, void* pv, DWORD cb, DWORD* pcbRead)
{
    const std::shared_ptr<CImageFile> pFile = LookupImageFile(h);
    if (!pFile)
        return Fail(ERROR_INVALID_HANDLE);
    if (const DWORD dwError = ReadCallError(pv, cb, pFile->m_entry.bFolder, pFile->m_bRead))
        return Fail(dwError);
    std::lock_guard<std::mutex> lock(pFile->m_mutex);
    DWORD dwToRead = 0;
    DWORD dwError = ERROR_SUCCESS;
    if (!HookAllowsRead(pFile->m_strPath, pFile->m_qwPosition, cb, dwToRead, dwError))
        return Fail(dwError);
    DWORD cbDone = 0;
    dwError = ReadImageFile(*pFile, static_cast<char*>(pv), dwToRead, cbDone);
    pFile->m_qwPosition += cbDone;
    if (pcbRead)
        *pcbRead = cbDone;
    if (dwError)
        return Fail(dwError);
    return TRUE;
}

BOOL ImageWriteFile(HANDLE h)
{
    return Fail(LookupImageFile(h) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
}

BOOL ImageGetFileSizeEx(HANDLE h, LARGE_INTEGER* pSize)
{
    const std::shared_ptr<CImageFile> pFile = LookupImageFile(h);
    if (!pFile)
        return Fail(ERROR_INVALID_HANDLE);
    if (!pSize)
        return Fail(ERROR_INVALID_PARAMETER);
    pSize->QuadPart = static_cast<LONGLONG>(pFile->m_entry.qwSize);
    return TRUE;
}

DWORD ImageGetFileType(HANDLE h)
{
    if (!LookupImageFile(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    return FILE_TYPE_DISK;
}

BOOL ImageCloseHandle(HANDLE h)
{
    return RemoveHandle(h, EHandleKind::ImageFile) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL ImageGetFileInformation(HANDLE h, BY_HANDLE_FILE_INFORMATION* pInfo)
{
    const std::shared_ptr<CImageFile> pFile = LookupImageFile(h);
    if (!pFile)
        return Fail(ERROR_INVALID_HANDLE);
    if (!pInfo)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD dwError = ERROR_SUCCESS;
    if (!HookAllowsFileInformation(pFile->m_strPath, dwError))
        return Fail(dwError);
    const CImageEntry& entry = pFile->m_entry;
    BY_HANDLE_FILE_INFORMATION& bhfi = *pInfo;
    bhfi.dwFileAttributes = EntryAttributes(entry, entry.wstrName);
    bhfi.ftCreationTime = bhfi.ftLastAccessTime = bhfi.ftLastWriteTime = entry.ftWrite;
    const std::uint64_t qwSerial = pFile->m_pImage->Serial();
    bhfi.dwVolumeSerialNumber = static_cast<DWORD>(qwSerial ^ (qwSerial >> 32));
    bhfi.nFileSizeHigh = static_cast<DWORD>(entry.qwSize >> 32);
    bhfi.nFileSizeLow = static_cast<DWORD>(entry.qwSize);
    bhfi.nNumberOfLinks = 1;
    bhfi.nFileIndexHigh = static_cast<DWORD>(entry.qwId >> 32);
    bhfi.nFileIndexLow = static_cast<DWORD>(entry.qwId);
    return TRUE;
}

} // namespace detail
} // namespace kvwin32
