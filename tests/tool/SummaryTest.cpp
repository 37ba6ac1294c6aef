// The summary lines and the exit codes.
#include "output/Results.h"
#include "output/Summary.h"

#include <gtest/gtest.h>

using namespace kvtool;

TEST(ToolResults, NamesHexAndExitCodes)
{
    struct {
        HRESULT hr;
        const char* pszText;
        int iExit;
    } cases[] = {
        {S_OK, "S_OK (0x00000000)", 0},
        {E_FAIL, "E_FAIL (0x80004005)", 1},
        {E_ABORT, "E_ABORT (0x80004004)", 2},
        {E_INVALIDARG, "E_INVALIDARG (0x80070057)", 3},
        {E_NOTIMPL, "E_NOTIMPL (0x80004001)", 4},
        {static_cast<HRESULT>(0x8007000EL), "0x8007000E", 4},
        {S_FALSE, "0x00000001", 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.pszText, ResultText(c.hr));
        EXPECT_EQ(c.iExit, ExitCodeFor(c.hr)) << c.pszText;
    }
}

TEST(ToolSummary, Revision11WithProblems)
{
    CRunSummary sum;
    sum.iRevision = 11;
    sum.llEntries = 3;
    sum.llFilesListed = 5;
    sum.uFilesChecked = 5;
    sum.uReports = 3;
    sum.uProblemPairs = 2;
    sum.auStatus[static_cast<int>(EProblemStatus::Missing)] = 1;
    sum.auStatus[static_cast<int>(EProblemStatus::Content)] = 1;
    sum.uDone = 12;
    sum.dElapsed = 4.0;
    sum.hr = S_OK;
    EXPECT_EQ("summary:\n"
              "  entries:       3 (5 files listed)\n"
              "  files checked: 5\n"
              "  problems:      2 (1 MISSING, 1 CONTENT) in 3 reports\n"
              "  read:          12 MiB\n"
              "  elapsed:       4.00 s\n"
              "  rate:          3.0 MiB/s\n"
              "  result:        S_OK (0x00000000)\n"
              "  exit status:   0\n",
              FormatSummary(sum));
}

TEST(ToolSummary, Revision10CountsFilesAndHasNoSizeKind)
{
    CRunSummary sum;
    sum.iRevision = 10;
    sum.uFilesChecked = 4;
    sum.uReports = 1;
    sum.uProblemPairs = 1;
    sum.auStatus[static_cast<int>(EProblemStatus::Content)] = 1;
    sum.uDone = 3;
    sum.verdict = {1, "1 file has a problem"};
    sum.dElapsed = 2.0;
    sum.hr = E_FAIL;
    const std::string strText = FormatSummary(sum);
    EXPECT_NE(std::string::npos, strText.find("  entries:       unknown\n"));
    EXPECT_NE(std::string::npos, strText.find("  problems:      1 (1 CONTENT)\n"));
    EXPECT_NE(std::string::npos,
              strText.find("  read:          - (revision 1.0 reports files, not bytes)\n"));
    EXPECT_NE(std::string::npos, strText.find("  rate:          1.5 files/s\n"));
    EXPECT_NE(std::string::npos, strText.find("  result:        E_FAIL (0x80004005)\n"));
    EXPECT_NE(std::string::npos, strText.find("  exit status:   1 (1 file has a problem)\n"));
}

TEST(ToolSummary, NoProblemsAndNoTime)
{
    CRunSummary sum;
    sum.dElapsed = 0.0;
    sum.llEntries = 1;
    sum.llFilesListed = 1;
    std::string strText = FormatSummary(sum);
    EXPECT_NE(std::string::npos, strText.find("  entries:       1 (1 file listed)\n"));
    EXPECT_NE(std::string::npos, strText.find("  problems:      none\n"));
    EXPECT_NE(std::string::npos, strText.find("  rate:          -\n"));
}
