// The host side of `korvane compare`: the file pairs the tool described,
// found again from the paths the library reports, and one line per pair
// that has a problem, its status taken from the two files themselves
// (the protocol says only "missing" or "differs").
#pragma once

#include "output/Console.h"
#include "output/ProgressLine.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace kvtool {

struct CCopyPair {
    std::filesystem::path source; // native
    std::filesystem::path copy;   // native
    bool bReported = false;
};

class CCompareHost {
public:
    // dwAnswer: what every problem is answered (skip, fail or abort).
    CCompareHost(std::vector<CCopyPair> vecPairs, DWORD dwAnswer, CTextSink* pOut, CProgressLine* pProgress);

    // The paths the library will report for pair iPair: its disc copy and
    // its source, as the description gives them.
    void AddReportPath(const std::wstring& strLibraryPath, size_t iPair);

    static DWORD CALLBACK Callback(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3);
    DWORD OnCommand(UINT uiCmd, const wchar_t* pszParam1, DWORD dwParam2);

    // A problem found by the tool itself (EXTRA).
    void Report(const char* pszStatus, const std::filesystem::path& path);
    unsigned Problems() const { return m_uProblems; }
    const std::vector<CCopyPair>& Pairs() const { return m_vecPairs; }

private:
    size_t FindPair(const std::wstring& strReported) const;

    std::vector<CCopyPair> m_vecPairs;
    std::unordered_map<std::wstring, size_t> m_mapReportPaths;
    DWORD m_dwAnswer;
    CTextSink* m_pOut;
    CProgressLine* m_pProgress;
    unsigned m_uProblems = 0;
    unsigned long long m_ullChecked = 0;
};

// What is wrong with a pair the library found different or missing:
// MISSING, MISSING-SOURCE, NOT-A-FILE, SIZE, UNREADABLE or CONTENT.
const char* ClassifyPair(const std::filesystem::path& source, const std::filesystem::path& copy);

} // namespace kvtool
