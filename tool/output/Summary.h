// The lines the verify command ends with.
#pragma once

#include "output/ProblemLine.h"

#include <windows.h>

#include <string>

namespace kvtool {

struct CRunSummary {
    int iRevision = 11;
    long long llEntries = -1;                  // FILE entries of the description; -1 unknown
    long long llFilesListed = -1;              // its Media_NumberFiles; -1 unknown
    unsigned uFilesChecked = 0;                // file pairs compared
    unsigned uReports = 0;                     // command 3 reports
    unsigned uProblemPairs = 0;                // pairs with problems
    unsigned auStatus[kiProblemStatuses] = {}; // ... by the status of their line
    unsigned uDone = 0;                        // 1.1: MiB read; 1.0: files matched
    double dElapsed = 0.0;                     // seconds in VerifyBurning
    HRESULT hr = S_OK;
    bool bLibrary = true; // false: no library run (check), no result line
    CVerdict verdict;     // the exit status and why
};

// "summary:" and one indented "name: value" line each for entries, files
// checked, problems, read, elapsed, rate, result and exit status.
std::string FormatSummary(const CRunSummary& sum);

} // namespace kvtool
