// The maker's trace writer, as the verifier uses it.
#pragma once

#include <windows.h>

#include "ZRLogExport.h"

enum ZRLogLevel { ZRLOG_ENTER = 0, ZRLOG_EXIT = 1, ZRLOG_ERROR = 2, ZRLOG_INFO = 3 };

// Receives each record: its level, the nesting depth of the calling thread
// (open EnterFunction calls, not counting this one's own ENTER) and the text,
// unindented. Called under the logger's lock, before the writing call returns.
typedef void (*PFNZRLOGSINK)(void* pContext, ZRLogLevel eLevel, int iDepth, const wchar_t* pszText);

// Process-wide, thread-safe. The destination is read from ZRLOG_FILE on first
// use (a file that records are appended to, or "-" for standard error; unset:
// nothing is written) unless a program sets one. When there is no
// destination and no sink, nothing is formatted.
class ZRLOG_API CZRLog {
  public:
    static CZRLog* GetInstance();

    void EnterFunction(const wchar_t* pszFormat, ...);
    int ExitFunction(int iResult);
    __int64 ExitFunction(__int64 iResult);
    const wchar_t* ExitFunction(const wchar_t* pszText);
    void AddError(const wchar_t* pszFormat, ...);
    void AddInfo(const wchar_t* pszFormat, ...);

    // Unsigned 32-bit results (DWORD) and, on Windows, HRESULT/DWORD as long
    // go through the 32-bit form; this keeps the calls unambiguous.
    unsigned int ExitFunction(unsigned int uResult)
    {
        return static_cast<unsigned int>(ExitFunction(static_cast<int>(uResult)));
    }
#if defined(_WIN32)
    long ExitFunction(long lResult)
    {
        return ExitFunction(static_cast<int>(lResult));
    }
    unsigned long ExitFunction(unsigned long uResult)
    {
        return static_cast<unsigned long>(ExitFunction(static_cast<int>(uResult)));
    }
#endif

    // Destination: a file path (UTF-16 on Windows, any wide text elsewhere;
    // appended to), L"-" for standard error, or null for none. Returns FALSE
    // when the file cannot be opened (the destination is then none).
    BOOL SetDestination(const wchar_t* pszPath);
    // An in-process sink in addition to the destination; null removes it.
    void SetSink(PFNZRLOGSINK pfnSink, void* pContext);
    // TRUE when a record written now would go anywhere.
    BOOL IsEnabled() const;

  private:
    CZRLog();
    CZRLog(const CZRLog&) = delete;
    CZRLog& operator=(const CZRLog&) = delete;
};

// The records as the destination holds them: one line each, UTF-8,
//   YYYY-MM-DD hh:mm:ss.mmm<TAB>LEVEL<TAB>text\n
// in local time, LEVEL being ENTER, EXIT, ERROR or INFO, the text indented
// by two spaces per open EnterFunction of the calling thread. An EXIT text
// is the entry text it closes, " -> " and the result (32-bit: 0x%08X,
// 64-bit: decimal); the string form's EXIT text is that string alone. Line
// feeds and carriage returns inside a text are written as the two
// characters "\n" and "\r". Each record is flushed before the call that
// wrote it returns. While nothing listens (no destination, no sink) nothing
// is formatted and no open entries are kept, so nesting starts again at 0
// when logging comes back on; an ExitFunction without an open entry closes
// an empty one. Calls made from inside the sink are ignored.
