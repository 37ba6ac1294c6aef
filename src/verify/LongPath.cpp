#include "LongPath.h"

#include <shlwapi.h>

#include <cwchar>

namespace korvane {
namespace {

bool IsDrivePath(const wchar_t* p)
{
    return ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z')) && p[1] == L':' &&
           p[2] == L'\\';
}

} // namespace

FileCallPath::FileCallPath(const wchar_t* pszPath) : m_pszPath(pszPath)
{
    if (!pszPath || std::wcslen(pszPath) < MAX_PATH)
        return;
    if (IsDrivePath(pszPath)) {
        m_strExtended = L"\\\\?\\";
        m_strExtended += pszPath;
        m_pszPath = m_strExtended;
    } else if (pszPath[0] == L'\\' && pszPath[1] == L'\\' && pszPath[2] != L'?' && pszPath[2] != L'.') {
        m_strExtended = L"\\\\?\\UNC\\";
        m_strExtended += pszPath + 2;
        m_pszPath = m_strExtended;
    }
}

BOOL FileExists(const wchar_t* pszPath)
{
    const FileCallPath path(pszPath);
    if (static_cast<const wchar_t*>(path) == pszPath)
        return PathFileExistsW(pszPath);
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace korvane
