// Windows paths to host paths: "X:\a\b" lies in the folder that
// KORVANE_DRIVE_X names, a path beginning with "/" is a host path already.
#include "Internal.h"
#include "NameLookup.h"
#include "image/DiscImage.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace kvwin32 {
namespace detail {

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The folder a drive letter is mapped to, read afresh on every call so that
// a mapping made at run time takes effect at once, appended to strOut.
// False when unmapped.
bool AppendDriveRoot(wchar_t wcLetter, std::string& strOut)
{
    char szVar[] = "KORVANE_DRIVE_X";
    szVar[sizeof szVar - 2] = static_cast<char>(wcLetter >= L'a' ? wcLetter - L'a' + 'A' : wcLetter);
    const char* pszRoot = std::getenv(szVar);
    if (!pszRoot || !*pszRoot)
        return false;
    std::size_t cb = std::strlen(pszRoot);
    // Joining adds the separators; "/" itself becomes "", the host root.
    while (cb > 0 && pszRoot[cb - 1] == '/')
        --cb;
    strOut.append(pszRoot, cb);
    return true;
}

// A component still in the path while it is read: where it starts in the
// host path (at its separator) and in the Windows text.
struct CPart {
    std::size_t iHost;
    const wchar_t* pch;
    std::size_t cch;
};

// The components read so far. Paths on discs are a few levels deep, so they
// live on the stack; only a deeper "\\?\" path takes memory.
class CPartStack {
  public:
    std::size_t Size() const { return m_c; }
    const CPart& Top() const { return m_c <= kInline ? m_aInline[m_c - 1] : m_vecMore.back(); }
    void Push(const CPart& part)
    {
        if (m_c < kInline)
            m_aInline[m_c] = part;
        else
            m_vecMore.push_back(part);
        ++m_c;
    }
    void Pop()
    {
        if (m_c > kInline)
            m_vecMore.pop_back();
        --m_c;
    }

  private:
    static constexpr std::size_t kInline = 32;
    CPart m_aInline[kInline];
    std::vector<CPart> m_vecMore;
    std::size_t m_c = 0;
};

} // namespace

DWORD ParseWinPath(const wchar_t* pszPath, CWinPath& path)
{
    path = CWinPath();
    if (!pszPath || !*pszPath)
        return ERROR_PATH_NOT_FOUND;

    const wchar_t* p = pszPath;
    bool bExtended = false;
    if (p[0] == L'\\' && p[1] == L'\\' && p[2] == L'?' && p[3] == L'\\') {
        p += 4;
        bExtended = true;
    }

    std::string& strHost = path.strHost;
    bool bDrive = false;
    if (p[0] == L'/') {
        // A host path: no drive to map, the components follow as they are.
    } else if (IsDriveLetter(p[0]) && p[1] == L':') {
        // "X:name" is relative to the drive's current folder, which we do not keep.
        if (p[2] != L'\0' && !IsSeparator(p[2]))
            return ERROR_PATH_NOT_FOUND;
        if (!AppendDriveRoot(p[0], strHost))
            return ERROR_PATH_NOT_FOUND;
        DWORD dwImageError = ERROR_SUCCESS;
        path.pImage = ImageForDrive(p[0], strHost, dwImageError);
        if (dwImageError)
            return dwImageError;
        if (path.pImage)
            strHost.clear(); // the path inside the image
        path.cchRoot = strHost.size();
        bDrive = true;
        p += 2;
    } else {
        // Relative, rooted on the current drive, UNC or device: none of them here.
        return ERROR_PATH_NOT_FOUND;
    }
    // Enough for names in ASCII, so that the usual path is one allocation.
    strHost.reserve(strHost.size() + std::wcslen(p) + 2);

    // Components, normalised as Windows does, which also keeps ".." from
    // leaving the drive's folder.
    CPartStack stack;
    std::size_t cchParts = 0; // characters of the components left
    bool bEndsWithSep = false;
    while (*p) {
        if (IsSeparator(*p)) {
            bEndsWithSep = true;
            ++p;
            continue;
        }
        const wchar_t* pEnd = p;
        while (*pEnd && !IsSeparator(*pEnd))
            ++pEnd;
        const std::size_t cch = static_cast<std::size_t>(pEnd - p);
        const wchar_t* pchPart = p;
        p = pEnd;
        bEndsWithSep = false;
        if (cch == 1 && pchPart[0] == L'.')
            continue;
        if (cch == 2 && pchPart[0] == L'.' && pchPart[1] == L'.') {
            if (stack.Size() != 0) {
                const CPart& top = stack.Top();
                strHost.resize(top.iHost);
                cchParts -= top.cch;
                // The first bad component is the lowest one, so nothing bad is left below it.
                if (path.iFirstBadPart == stack.Size() - 1)
                    path.iFirstBadPart = CWinPath::kNoBadPart;
                stack.Pop();
            }
            continue;
        }
        stack.Push({strHost.size(), pchPart, cch});
        cchParts += cch;
        strHost += '/';
        // A name the host cannot hold spoils the path only if no ".." takes it away.
        if (!AppendUtf8(strHost, pchPart, cch) && path.iFirstBadPart == CWinPath::kNoBadPart)
            path.iFirstBadPart = stack.Size() - 1;
    }
    path.cParts = stack.Size();
    path.bTrailingSep = bEndsWithSep && path.cParts != 0;
    if (path.cParts != 0) {
        path.cchParent = stack.Top().iHost;
        path.svLast = std::wstring_view(stack.Top().pch, stack.Top().cch);
    }
    if (path.bTrailingSep)
        strHost += '/';
    if (strHost.empty())
        strHost = "/";

    // Without the "\\?\" prefix a drive path holds fewer than MAX_PATH characters.
    if (bDrive && !bExtended) {
        std::size_t cch = 3 + cchParts + path.cParts; // "X:\" and a separator after each component
        if (!path.bTrailingSep && path.cParts != 0)
            --cch;
        if (cch >= MAX_PATH)
            return ERROR_FILENAME_EXCED_RANGE;
    }
    return ERROR_SUCCESS;
}

DWORD HostPathError(const CWinPath& path)
{
    if (path.iFirstBadPart == CWinPath::kNoBadPart)
        return ERROR_SUCCESS;
    return path.iFirstBadPart + 1 == path.cParts ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD ParentHostPath(const CWinPath& path, std::string& strParent)
{
    if (path.iFirstBadPart != CWinPath::kNoBadPart && path.iFirstBadPart + 1 < path.cParts)
        return ERROR_PATH_NOT_FOUND;
    strParent.assign(path.strHost, 0, path.cParts != 0 ? path.cchParent : path.strHost.size());
    if (strParent.empty())
        strParent = "/";
    return ERROR_SUCCESS;
}

bool FoldPath(CWinPath& path)
{
    if (path.cParts == 0 || HostPathError(path) != ERROR_SUCCESS)
        return false;
    // The caller reports its own failure when nothing matches.
    const int iErrno = errno;
    if (!FindFoldedPath(path.strHost, path.cchRoot)) {
        errno = iErrno;
        return false;
    }
    std::size_t cchEnd = path.strHost.size() - (path.bTrailingSep ? 1 : 0);
    path.cchParent = path.strHost.rfind('/', cchEnd - 1);
    return true;
}

bool FoldParent(CWinPath& path)
{
    if (path.cParts < 2 || HostPathError(path) != ERROR_SUCCESS)
        return false;
    std::string strFolder(path.strHost, 0, path.cchParent);
    const int iErrno = errno;
    if (!FindFoldedPath(strFolder, path.cchRoot)) {
        errno = iErrno;
        return false;
    }
    path.strHost.replace(0, path.cchParent, strFolder);
    path.cchParent = strFolder.size();
    return true;
}

DWORD MissingError(const CWinPath& path)
{
    if (path.cParts == 0)
        return ERROR_PATH_NOT_FOUND;
    std::string strParent;
    if (ParentHostPath(path, strParent) != ERROR_SUCCESS)
        return ERROR_PATH_NOT_FOUND;
    struct stat st;
    if (::stat(strParent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    // The folder may be there under another case.
    CWinPath folded = path;
    if (IsMissingErrno(errno) && FoldParent(folded) && ParentHostPath(folded, strParent) == ERROR_SUCCESS &&
        ::stat(strParent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

} // namespace detail

std::string MapPath(const wchar_t* pszPath)
{
    detail::CWinPath path;
    if (detail::ParseWinPath(pszPath, path) != ERROR_SUCCESS || detail::HostPathError(path) != ERROR_SUCCESS)
        return std::string();
    // Inside an image: the image's path, then the path within it.
    if (path.pImage)
        return path.pImage->Path() + (path.strHost == "/" ? std::string() : path.strHost);
    return std::move(path.strHost);
}

} // namespace kvwin32
