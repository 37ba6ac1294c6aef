// Windows paths to host paths: "X:\a\b" lies in the folder that
// KORVANE_DRIVE_X names, a path beginning with "/" is a host path already.
#include "Internal.h"

#include <sys/stat.h>

#include <cstdlib>

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
// a mapping made at run time takes effect at once. False when unmapped.
bool DriveRoot(wchar_t wcLetter, std::string& strRoot)
{
    char szVar[] = "KORVANE_DRIVE_X";
    szVar[sizeof szVar - 2] = static_cast<char>(wcLetter >= L'a' ? wcLetter - L'a' + 'A' : wcLetter);
    const char* pszRoot = std::getenv(szVar);
    if (!pszRoot || !*pszRoot)
        return false;
    strRoot = pszRoot;
    // Joining adds the separators; "/" itself becomes "", the host root.
    while (!strRoot.empty() && strRoot.back() == '/')
        strRoot.pop_back();
    return true;
}

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

    bool bDrive = false;
    if (p[0] == L'/') {
        // A host path: no drive to map, the components follow as they are.
    } else if (IsDriveLetter(p[0]) && p[1] == L':') {
        // "X:name" is relative to the drive's current folder, which we do not keep.
        if (p[2] != L'\0' && !IsSeparator(p[2]))
            return ERROR_PATH_NOT_FOUND;
        if (!DriveRoot(p[0], path.strRoot))
            return ERROR_PATH_NOT_FOUND;
        bDrive = true;
        p += 2;
    } else {
        // Relative, rooted on the current drive, UNC or device: none of them here.
        return ERROR_PATH_NOT_FOUND;
    }

    // Components, normalised as Windows does, which also keeps ".." from
    // leaving the drive's folder.
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
        std::wstring strPart(p, pEnd);
        p = pEnd;
        bEndsWithSep = false;
        if (strPart == L".")
            continue;
        if (strPart == L"..") {
            if (!path.vecParts.empty())
                path.vecParts.pop_back();
            continue;
        }
        path.vecParts.push_back(std::move(strPart));
    }
    path.bTrailingSep = bEndsWithSep && !path.vecParts.empty();

    // Without the "\\?\" prefix a drive path holds fewer than MAX_PATH characters.
    if (bDrive && !bExtended) {
        std::size_t cch = 3; // "X:\"
        for (const std::wstring& strPart : path.vecParts)
            cch += strPart.size() + 1;
        if (!path.bTrailingSep && !path.vecParts.empty())
            --cch;
        if (cch >= MAX_PATH)
            return ERROR_FILENAME_EXCED_RANGE;
    }
    return ERROR_SUCCESS;
}

DWORD HostPath(const CWinPath& path, std::size_t cParts, std::string& strHost)
{
    strHost = path.strRoot;
    for (std::size_t i = 0; i < cParts && i < path.vecParts.size(); ++i) {
        const std::wstring& strPart = path.vecParts[i];
        strHost += '/';
        if (!AppendUtf8(strHost, strPart.data(), strPart.size())) {
            strHost.clear();
            return i + 1 == path.vecParts.size() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        }
    }
    if (cParts >= path.vecParts.size() && path.bTrailingSep)
        strHost += '/';
    if (strHost.empty())
        strHost = "/";
    return ERROR_SUCCESS;
}

DWORD MissingError(const CWinPath& path)
{
    if (path.vecParts.empty())
        return ERROR_PATH_NOT_FOUND;
    std::string strParent;
    if (HostPath(path, path.vecParts.size() - 1, strParent) != ERROR_SUCCESS)
        return ERROR_PATH_NOT_FOUND;
    struct stat st;
    if (::stat(strParent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

} // namespace detail

std::string MapPath(const wchar_t* pszPath)
{
    detail::CWinPath path;
    std::string strHost;
    if (detail::ParseWinPath(pszPath, path) != ERROR_SUCCESS ||
        detail::HostPath(path, strHost) != ERROR_SUCCESS)
        return std::string();
    return strHost;
}

} // namespace kvwin32
