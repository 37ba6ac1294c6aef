#include "output/Console.h"

#include "output/Text.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kvtool {

namespace {

bool g_bOutputGone = false;

} // namespace

void CFileSink::Write(const std::string& strUtf8)
{
    if (Failed())
        return;
    errno = 0;
    const bool bWritten = std::fwrite(strUtf8.data(), 1, strUtf8.size(), m_pFile) == strUtf8.size();
    if (std::fflush(m_pFile) == 0 && bWritten)
        return;
    const int iError = errno ? errno : EIO;
    if (iError == EPIPE && m_pFile == stdout)
        g_bOutputGone = m_bOutputGone = true;
    std::string strName = m_strName;
    if (strName.empty())
        strName = m_pFile == stdout ? "standard output" : m_pFile == stderr ? "standard error" : "a file";
    m_strError = "cannot write to " + strName + ": " + SystemMessage(iError);
}

void TellWriteFailure(const CFileSink& sink)
{
    if (sink.Failed() && !sink.OutputGone())
        CFileSink(stderr).Write("korvane: " + sink.Error() + "\n");
}

bool OutputReaderGone()
{
    return g_bOutputGone;
}

namespace {

void EndAsReaderGone()
{
#if !defined(_WIN32)
    if (!g_bOutputGone)
        return;
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
#endif
}

} // namespace

void EndProcess(int iExit)
{
    std::fflush(nullptr);
    EndAsReaderGone();
    std::exit(iExit);
}

void EndProcessNow(int iExit)
{
    std::fflush(nullptr);
    EndAsReaderGone();
    std::_Exit(iExit);
}

std::string SystemMessage(int iError)
{
    return std::strerror(iError);
}

int TerminalColumns()
{
    int iColumns = 0;
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        iColumns = info.srWindow.Right - info.srWindow.Left + 1;
#else
    struct winsize size = {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0)
        iColumns = size.ws_col;
#endif
    if (iColumns <= 0) {
        std::wstring strColumns;
        int iValue = 0;
        if (GetEnvironment("COLUMNS", strColumns) && ParseInt(strColumns, iValue) && iValue > 0)
            iColumns = iValue;
    }
    return iColumns > 0 ? iColumns : 80;
}

#if defined(_WIN32)
void PrepareProcess()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetConsoleOutputCP(CP_UTF8);
    // The same bytes as on Linux: no CR added to each line end.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool IsTerminal(FILE* pFile)
{
    return _isatty(_fileno(pFile)) != 0;
}

FILE* OpenForWriting(const std::wstring& strNativePath)
{
    return _wfopen(strNativePath.c_str(), L"wb");
}

bool GetEnvironment(const std::string& strName, std::wstring& strValue)
{
    const wchar_t* pszValue = _wgetenv(WideFromUtf8(strName).c_str());
    if (!pszValue || !*pszValue)
        return false;
    strValue = pszValue;
    return true;
}

void SetEnvironment(const std::string& strName, const std::wstring& strValue)
{
    _wputenv((WideFromUtf8(strName) + L"=" + strValue).c_str());
}
#else
void PrepareProcess()
{
    // A reader that leaves (korvane compare ... | head) must not end the
    // process before it removes its temporary files: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
}

bool IsTerminal(FILE* pFile)
{
    return isatty(fileno(pFile)) != 0;
}

FILE* OpenForWriting(const std::wstring& strNativePath)
{
    return std::fopen(Utf8FromWide(strNativePath).c_str(), "wb");
}

bool GetEnvironment(const std::string& strName, std::wstring& strValue)
{
    const char* pszValue = std::getenv(strName.c_str());
    if (!pszValue || !*pszValue)
        return false;
    strValue = WideFromUtf8(pszValue);
    return true;
}

void SetEnvironment(const std::string& strName, const std::wstring& strValue)
{
    setenv(strName.c_str(), Utf8FromWide(strValue).c_str(), 1);
}
#endif

bool ReadInputLine(std::string& strLine)
{
    strLine.clear();
    int c;
    while ((c = std::fgetc(stdin)) != EOF) {
        if (c == '\n')
            break;
        strLine += static_cast<char>(c);
    }
    if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
    return c != EOF || !strLine.empty();
}

} // namespace kvtool
