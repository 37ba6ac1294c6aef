// What the tool says about one file pair with a problem, and how a whole
// run ends: the one line per pair that every command prints, and the exit
// status rules, kept here so that every command follows the same ones.
#pragma once

#include <windows.h>

#include <string>

namespace kvtool {

enum class EProblemStatus { Missing, Size, Content, Unreadable, NotAFile, MissingSource, Extra };
const int kiProblemStatuses = 7;

// "MISSING", "SIZE", "CONTENT", "UNREADABLE", "NOT-A-FILE", "MISSING-SOURCE", "EXTRA".
const char* ProblemStatusText(EProblemStatus eStatus);

// Text made safe for a terminal and for one line: a backslash is doubled,
// control characters (C1 ones too) become C escapes (\n, \r, \t, ...) or
// octal ones (\033), as `ls -b` writes them, and so does each byte that is
// not part of valid UTF-8.
std::string EscapeControls(const std::string& strText);

// "SIZE  /media/disc/a.txt" or, with a detail, "UNREADABLE  /media/disc/a.txt  (Permission denied)";
// the path and the detail escaped. No line end.
std::string FormatProblemLine(EProblemStatus eStatus, const std::string& strPathUtf8,
                              const std::string& strDetailUtf8 = std::string());

// What a run found, for the exit status.
struct CRunFacts {
    HRESULT hr = S_OK;
    const char* pszList = "description"; // what lists the files: "description", "manifest"
    std::string strUnreadable;           // why it could not be read; empty: it was
    long long llEntries = -1;            // entries of the description; -1 unknown
    long long llFilesListed = -1;        // files it lists; -1 unknown
    unsigned long long ullFilesChecked = 0;
    unsigned uProblems = 0;    // file pairs with a problem
    bool bSkipAccepts = false; // --on-error skip: a skipped problem does not fail the run
    bool bInterrupted = false; // Ctrl-C
    bool bReaderGone = false;  // standard output's reader left, and the run stopped for it
    std::string strWriteError; // a write that failed; empty: none did
};

struct CVerdict {
    int iExit = 0;
    std::string strReason; // one line without its end; empty when the run passed
};

// 130 after Ctrl-C; 4 after a failed write; 1 when the description could not
// be read, lists no entries, or fewer files were checked than it lists, and
// when a problem was reported (unless skip accepted it); else the result's
// own code (Results.h).
CVerdict JudgeRun(const CRunFacts& facts);

} // namespace kvtool
