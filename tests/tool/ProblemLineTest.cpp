// The problem line every command prints, the exit status rules, and the
// bar fitted to the terminal.
#include "output/ProblemLine.h"
#include "output/ProgressText.h"

#include <gtest/gtest.h>

using namespace kvtool;

TEST(ToolProblemLine, StatusPathAndEscapes)
{
    struct {
        EProblemStatus eStatus;
        std::string strPath;
        std::string strDetail;
        const char* pszLine;
    } cases[] = {
        {EProblemStatus::Missing, "/d/a.txt", "", "MISSING  /d/a.txt"},
        {EProblemStatus::Size, "/d/sp ace", "", "SIZE  /d/sp ace"},
        {EProblemStatus::Content, "/d/x\\y", "", "CONTENT  /d/x\\\\y"},
        {EProblemStatus::Unreadable, "/d/a", "Permission denied", "UNREADABLE  /d/a  (Permission denied)"},
        {EProblemStatus::NotAFile, "/d/n\nl\r\t", "a FIFO", "NOT-A-FILE  /d/n\\nl\\r\\t  (a FIFO)"},
        {EProblemStatus::MissingSource, "/d/\033[1mb\x7f", "source /s/\n",
         "MISSING-SOURCE  /d/\\033[1mb\\177  (source /s/\\n)"},
        {EProblemStatus::Extra, "/d/\xc3\xa9\x01", "", "EXTRA  /d/\xc3\xa9\\001"},
        // Bytes of a name that are no UTF-8, one by one; C1 controls too.
        {EProblemStatus::Content, "/d/caf\xe9", "", "CONTENT  /d/caf\\351"},
        {EProblemStatus::Missing,
         "/d/\xc2\x9b"
         "1m\xf0\x9f\x98\x80",
         "", "MISSING  /d/\\302\\2331m\xf0\x9f\x98\x80"},
        {EProblemStatus::Size, "/d/\xed\xa0\x80\xc0\xaf\xe2\x82", "",
         "SIZE  /d/\\355\\240\\200\\300\\257\\342\\202"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.pszLine, FormatProblemLine(c.eStatus, c.strPath, c.strDetail));
}

TEST(ToolProblemLine, ExitStatusRules)
{
    auto facts = [](auto fnChange) {
        CRunFacts f;
        f.llEntries = 2;
        f.llFilesListed = 3;
        f.ullFilesChecked = 3;
        fnChange(f);
        return f;
    };
    struct {
        CRunFacts facts;
        int iExit;
        const char* pszReason;
    } cases[] = {
        {facts([](CRunFacts&) {}), 0, ""},
        {facts([](CRunFacts& f) { f.uProblems = 2; }), 1, "2 files have a problem"},
        {facts([](CRunFacts& f) { f.uProblems = 1, f.bSkipAccepts = true; }), 0, ""},
        {facts([](CRunFacts& f) { f.ullFilesChecked = 0; }), 1, "only 0 of the 3 files listed were checked"},
        {facts([](CRunFacts& f) { f.ullFilesChecked = 2, f.bSkipAccepts = true; }), 1,
         "only 2 of the 3 files listed were checked"},
        {facts([](CRunFacts& f) { f.llEntries = 0, f.llFilesListed = 0, f.ullFilesChecked = 0; }), 1,
         "the description lists no entries"},
        {facts([](CRunFacts& f) { f.hr = E_FAIL, f.strUnreadable = "no such file"; }), 1,
         "the description could not be read: no such file"},
        {facts([](CRunFacts& f) { f.hr = E_FAIL, f.uProblems = 1; }), 1, "1 file has a problem"},
        {facts([](CRunFacts& f) { f.hr = E_ABORT, f.uProblems = 1; }), 2, "1 file has a problem"},
        {facts([](CRunFacts& f) { f.hr = E_INVALIDARG; }), 3,
         "the library returned E_INVALIDARG (0x80070057)"},
        {facts([](CRunFacts& f) { f.strWriteError = "cannot write to x", f.uProblems = 1; }), 4,
         "cannot write to x"},
        {facts([](CRunFacts& f) { f.bInterrupted = true, f.strWriteError = "w", f.hr = E_ABORT; }), 130,
         "interrupted"},
    };
    for (const auto& c : cases) {
        const CVerdict verdict = JudgeRun(c.facts);
        EXPECT_EQ(c.iExit, verdict.iExit) << c.pszReason;
        EXPECT_EQ(c.pszReason, verdict.strReason);
    }
}

TEST(ToolProgress, BarFitsTheWidth)
{
    const CProgressSnapshot snap = {4, 8, false, 2.0}; // numbers: "4/8 MiB   50%  2.0 MiB/s  0:02 left", 35
    struct {
        int iColumns;
        size_t iLength;
    } cases[] = {{200, 79}, {80, 79}, {64, 63}, {50, 49}, {48, 35}, {20, 19}};
    for (const auto& c : cases) {
        const std::string strBar = FitProgressBar(snap, c.iColumns);
        EXPECT_EQ(c.iLength, strBar.size()) << c.iColumns << ": " << strBar;
        EXPECT_LT(strBar.size(), static_cast<size_t>(c.iColumns));
    }
    EXPECT_EQ("4/8 MiB   50%  2.0 MiB/s  0:02 left", FitProgressBar(snap, 48));
}
