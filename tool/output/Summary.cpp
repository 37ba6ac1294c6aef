#include "output/Summary.h"

#include "output/Results.h"

#include <cstdio>

namespace kvtool {

namespace {

std::string Line(const char* pszName, const std::string& strValue)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "  %-15s", (std::string(pszName) + ":").c_str());
    return sz + strValue + "\n";
}

std::string Fixed(double d, int iDecimals)
{
    char sz[48];
    std::snprintf(sz, sizeof sz, "%.*f", iDecimals, d);
    return sz;
}

} // namespace

std::string FormatSummary(const CRunSummary& sum)
{
    const bool bRev10 = sum.iRevision < 11;
    std::string strOut = "summary:\n";

    std::string strEntries = sum.llEntries < 0 ? std::string("unknown") : std::to_string(sum.llEntries);
    if (sum.llFilesListed >= 0)
        strEntries += " (" + std::to_string(sum.llFilesListed) +
                      (sum.llFilesListed == 1 ? " file" : " files") + " listed)";
    strOut += Line("entries", strEntries);
    strOut += Line("files checked", std::to_string(sum.uFilesChecked));

    std::string strProblems;
    if (!sum.uProblemPairs) {
        strProblems = "none";
    } else {
        strProblems = std::to_string(sum.uProblemPairs) + " (";
        const char* pszSep = "";
        for (int i = 0; i < kiProblemStatuses; ++i) {
            if (!sum.auStatus[i])
                continue;
            strProblems += pszSep + std::to_string(sum.auStatus[i]) + " " +
                           ProblemStatusText(static_cast<EProblemStatus>(i));
            pszSep = ", ";
        }
        strProblems += ")";
        if (sum.uReports != sum.uProblemPairs)
            strProblems += " in " + std::to_string(sum.uReports) + " reports";
    }
    strOut += Line("problems", strProblems);

    strOut += Line("read", bRev10 ? std::string("- (revision 1.0 reports files, not bytes)")
                                  : std::to_string(sum.uDone) + " MiB");
    strOut += Line("elapsed", Fixed(sum.dElapsed, 2) + " s");
    std::string strRate = "-";
    if (sum.dElapsed > 0)
        strRate = Fixed(sum.uDone / sum.dElapsed, 1) + (bRev10 ? " files/s" : " MiB/s");
    strOut += Line("rate", strRate);
    if (sum.bLibrary)
        strOut += Line("result", ResultText(sum.hr));
    std::string strExit = std::to_string(sum.verdict.iExit);
    if (!sum.verdict.strReason.empty())
        strExit += " (" + sum.verdict.strReason + ")";
    strOut += Line("exit status", strExit);
    return strOut;
}

} // namespace kvtool
