// Where the records go: standard error or a file they are appended to.
#include "ZRLogInternal.h"

#include <kvutf/Utf.h>

#include <cstdlib>

namespace zrlog {

namespace {

// File names are wide on Windows; elsewhere the system takes UTF-8 bytes.
#if defined(_WIN32)
typedef wchar_t NativeChar;
std::FILE* OpenForAppend(const wchar_t* pszPath)
{
    return _wfopen(pszPath, L"ab");
}
const wchar_t* EnvironmentPath()
{
    return _wgetenv(L"ZRLOG_FILE");
}
#else
typedef char NativeChar;
std::FILE* OpenForAppend(const char* pszPath)
{
    return std::fopen(pszPath, "ab");
}
const char* EnvironmentPath()
{
    return std::getenv("ZRLOG_FILE");
}
#endif

template <typename TChar> bool IsStandardErrorName(const TChar* pszPath)
{
    return pszPath[0] == TChar('-') && pszPath[1] == TChar(0);
}

// Shared by both ways in: the path is already in the system's own form.
BOOL OpenNative(const NativeChar* pszPath, std::FILE*& pFile, bool& bOwnsFile)
{
    if (!pszPath || !*pszPath)
        return TRUE;
    if (IsStandardErrorName(pszPath)) {
        pFile = stderr;
        return TRUE;
    }
    pFile = OpenForAppend(pszPath);
    bOwnsFile = pFile != nullptr;
    return pFile ? TRUE : FALSE;
}

} // namespace

CLogDestination::~CLogDestination()
{
    Close();
}

void CLogDestination::Close()
{
    if (m_pFile && m_bOwnsFile)
        std::fclose(m_pFile);
    m_pFile = nullptr;
    m_bOwnsFile = false;
}

BOOL CLogDestination::Open(const wchar_t* pszPath)
{
    Close();
#if defined(_WIN32)
    return OpenNative(pszPath, m_pFile, m_bOwnsFile);
#else
    if (!pszPath)
        return TRUE;
    // A replaced character would name another file.
    std::size_t cReplaced = 0;
    const std::string strPath = kvutf::Utf8FromWide(pszPath, &cReplaced);
    if (cReplaced != 0)
        return FALSE;
    return OpenNative(strPath.c_str(), m_pFile, m_bOwnsFile);
#endif
}

BOOL CLogDestination::OpenFromEnvironment()
{
    Close();
    return OpenNative(EnvironmentPath(), m_pFile, m_bOwnsFile);
}

void CLogDestination::Write(const std::string& strLine)
{
    if (!m_pFile)
        return;
    // One call for the whole line, then straight to the system: a crash
    // right after the call loses nothing.
    std::fwrite(strLine.data(), 1, strLine.size(), m_pFile);
    std::fflush(m_pFile);
}

} // namespace zrlog
