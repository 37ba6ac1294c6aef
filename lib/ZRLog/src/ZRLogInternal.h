// The logger's own pieces, shared by its source files; callers never see them.
#pragma once

#include "ZRLog.h"

#include <cstdio>
#include <string>

namespace zrlog {

// The text as UTF-8. Code points that UTF-8 cannot carry (unpaired
// surrogates, values above U+10FFFF) become U+FFFD. With bEscapeLineBreaks,
// a line feed becomes the two characters "\n" and a carriage return "\r",
// so that a record stays one line; backslashes are left alone (paths stay
// readable), which makes the escape one-way.
std::string ToUtf8(const wchar_t* pszText, bool bEscapeLineBreaks);

// The name of a level as the file shows it: "ENTER", "EXIT", "ERROR", "INFO".
const char* LevelName(ZRLogLevel eLevel);

// The local time now, "YYYY-MM-DD hh:mm:ss.mmm".
std::string LocalTimeStamp();

// One record as a line of the file: time stamp, TAB, level, TAB, two spaces
// per depth, the escaped text, "\n".
std::string FormatRecordLine(ZRLogLevel eLevel, int iDepth, const wchar_t* pszText);

// Where the lines go: nowhere, standard error, or a file appended to.
class CLogDestination {
  public:
    CLogDestination() = default;
    ~CLogDestination();
    CLogDestination(const CLogDestination&) = delete;
    CLogDestination& operator=(const CLogDestination&) = delete;

    // Null or empty: none; L"-": standard error; otherwise a file opened for
    // appending (created if missing). FALSE when the file cannot be opened;
    // the destination is then none.
    BOOL Open(const wchar_t* pszPath);
    // The same for the value of the environment variable ZRLOG_FILE.
    BOOL OpenFromEnvironment();
    void Close();
    bool IsOpen() const { return m_pFile != nullptr; }
    // Writes the whole line and flushes it to the system before returning.
    void Write(const std::string& strLine);

  private:
    std::FILE* m_pFile = nullptr;
    bool m_bOwnsFile = false;
};

} // namespace zrlog
