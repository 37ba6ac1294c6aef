// The lines the verify command ends with.
#pragma once

#include <windows.h>

#include <string>

namespace kvtool {

struct CRunSummary {
    int iRevision = 11;
    long long llEntries = -1;     // FILE entries of the description; -1 unknown
    long long llFilesListed = -1; // its Media_NumberFiles; -1 unknown
    unsigned uFilesChecked = 0;   // file pairs compared
    unsigned uReports = 0;        // command 3 reports
    unsigned uProblemPairs = 0;   // pairs with problems
    unsigned uMissing = 0;        // ... by the kind of their first report
    unsigned uSizeDiffers = 0;
    unsigned uChecksumDiffers = 0;
    unsigned uDiffers = 0;
    unsigned uDone = 0;           // 1.1: MiB read; 1.0: files matched
    double dElapsed = 0.0;        // seconds in VerifyBurning
    HRESULT hr = S_OK;
};

// "summary:" and one indented "name: value" line each for entries, files
// checked, problems, read, elapsed, rate and result.
std::string FormatSummary(const CRunSummary& sum);

} // namespace kvtool
