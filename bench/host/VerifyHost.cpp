// A host as a burning program is one: a new CKorvane per run, one
// VerifyBurning call, no document of its own, tracing off. Prints the time
// per pair (per file the run checked) and how often the description was
// parsed per run, which must be once however often the library loads it.
//
//   korvane_bench_host DRIVE DESCRIPTION [RUNS]
//
// Elsewhere than on Windows the drive is mapped first, as for the tool:
// KORVANE_DRIVE_E=<folder of the disc>. Exits with 1 when a run does not
// verify or parses the description more than once.
#include <windows.h>

#include "Korvane.h"

#include <ZRXmlParseCount.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct RunCounts {
    DWORD dwFiles = 0;  // the file count of the end report
    DWORD dwErrors = 0; // file errors reported
};

DWORD CALLBACK OnCommand(UINT uiCmd, LPVOID, DWORD dwParam2, LPVOID pUser)
{
    RunCounts& counts = *static_cast<RunCounts*>(pUser);
    if (uiCmd == CRCVERIF_END)
        counts.dwFiles = dwParam2;
    else if (uiCmd == CRCVERIF_FILEERROR)
        ++counts.dwErrors;
    return CRCVERIF_ANSWER_SKIP;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4 || !argv[1][0]) {
        std::fprintf(stderr, "usage: korvane_bench_host DRIVE DESCRIPTION [RUNS]\n");
        return 2;
    }
    const wchar_t wcDrive = static_cast<wchar_t>(argv[1][0]);
    const std::wstring strXml = std::filesystem::path(argv[2]).wstring();
    const int nRuns = argc == 4 ? std::max(1, std::atoi(argv[3])) : 1;

    std::vector<double> vecSecondsPerPair;
    long nMostParses = 0;
    DWORD dwFiles = 0;
    for (int iRun = 0; iRun < nRuns; ++iRun) {
        RunCounts counts;
        const long nParsesBefore = ZRXmlParseCount();
        const auto tStart = std::chrono::steady_clock::now();
        HRESULT hr;
        {
            CKorvane verifier;
            hr = verifier.VerifyBurning(wcDrive, strXml.c_str(), &OnCommand, &counts);
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - tStart;
        const long nParses = ZRXmlParseCount() - nParsesBefore;
        if (hr != S_OK || counts.dwErrors != 0 || counts.dwFiles == 0) {
            std::fprintf(stderr, "run %d: 0x%08X, %lu files, %lu errors\n", iRun + 1,
                         static_cast<unsigned>(hr), static_cast<unsigned long>(counts.dwFiles),
                         static_cast<unsigned long>(counts.dwErrors));
            return 1;
        }
        dwFiles = counts.dwFiles;
        nMostParses = std::max(nMostParses, nParses);
        vecSecondsPerPair.push_back(elapsed.count() / counts.dwFiles);
    }
    std::sort(vecSecondsPerPair.begin(), vecSecondsPerPair.end());
    std::printf("pairs: %lu, runs: %d, time per pair: %.2f us (median; best %.2f us), parses per run: %ld\n",
                static_cast<unsigned long>(dwFiles), nRuns,
                vecSecondsPerPair[vecSecondsPerPair.size() / 2] * 1e6, vecSecondsPerPair.front() * 1e6,
                nMostParses);
    return nMostParses == 1 ? 0 : 1;
}
