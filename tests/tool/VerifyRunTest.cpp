// "korvane verify" and "korvane demo" end to end, on real trees, against
// the library this build carries (revision 1.1 or 1.0).
#include "Medium.h"
#include "ToolRunner.h"

#include "output/JsonEvent.h"
#include "output/Text.h"

#include <KorvaneRevision.h>

#include <gtest/gtest.h>

using namespace kvtooltest;
using kvtool::JsonString;
using kvtool::Utf8FromWide;
using kvtool::WideFromNative;

namespace {
// A path as the problem lines show it: with "/".
std::string Native8(const std::filesystem::path& path)
{
    std::string strPath = Utf8FromWide(WideFromNative(path.lexically_normal()));
#if defined(_WIN32)
    for (char& c : strPath)
        if (c == '\\')
            c = '/';
#endif
    return strPath;
}
} // namespace

namespace {

const bool kbRev11 = KORVANE_REVISION >= 11;

bool Contains(const std::string& strText, const std::string& strPart)
{
    return strText.find(strPart) != std::string::npos;
}

std::string Event(int iCmd, const char* pszName, const std::wstring* pstrPath, unsigned uParam2,
                  unsigned uAnswer)
{
    return "{\"cmd\":" + std::to_string(iCmd) + ",\"name\":\"" + pszName +
           "\",\"param1\":" + (pstrPath ? JsonString(*pstrPath) : std::string("null")) +
           ",\"param2\":" + std::to_string(uParam2) + ",\"answer\":" + std::to_string(uAnswer) + "}";
}

// A tree with non-ASCII names: two file entries and a folder entry.
const std::wstring kFileA = L"a.txt";
const std::wstring kFileU = L"\u00dcn\u00ef c\u00f8d\u00e9 \u20ac.txt";
const std::wstring kFolder = L"\u65e5\u672c";
const std::wstring kDeep = L"sub/x&y \U0001F600.bin";
const std::wstring kData = L"\u30c7\u30fc\u30bf.bin";

void BuildTree(const CMedium& medium)
{
    medium.WriteBoth(kFileA, "abc");
    medium.WriteBoth(kFileU, std::string(40000, 'u'));
    medium.WriteBoth(kFolder + L"/" + kData, std::string(20000, 'd'));
    medium.WriteBoth(kFolder + L"/" + kDeep, "deep");
    medium.Describe(1, {kFileA, kFileU, kFolder});
}

} // namespace

TEST(ToolVerify, IdenticalCopyPasses)
{
    CMedium medium;
    BuildTree(medium);
    CToolRun run = RunTool(medium.VerifyArgs(1));
    EXPECT_EQ(0, run.iExit) << run.strOut << run.strErr;
    EXPECT_EQ("S_OK (0x00000000)", SummaryValue(run.strOut, "result"));
    EXPECT_EQ("none", SummaryValue(run.strOut, "problems"));
    EXPECT_EQ("3 (4 files listed)", SummaryValue(run.strOut, "entries"));
    EXPECT_EQ("4", SummaryValue(run.strOut, "files checked"));
    EXPECT_EQ("summary:", Lines(run.strOut).at(0)); // nothing but the summary
    // Not a terminal: plain progress lines on standard error.
    EXPECT_TRUE(Contains(run.strErr, kbRev11 ? "begin: 0 MiB to read\n" : "begin: 4 files to check\n"))
        << run.strErr;
    EXPECT_TRUE(Contains(run.strErr, "end: 4 files listed\n")) << run.strErr;
}

TEST(ToolVerify, DescriptionFileOverloadPasses)
{
    CMedium medium;
    BuildTree(medium);
    std::vector<std::wstring> vecArgs = {L"verify"};
    for (const std::wstring& strArg : medium.DriveArgs())
        vecArgs.push_back(strArg);
    vecArgs.push_back(L"--xml");
    vecArgs.push_back(WideFromNative(medium.Media() / "Media1.xml"));
    CToolRun run = RunTool(vecArgs);
    EXPECT_EQ(0, run.iExit) << run.strOut << run.strErr;
    EXPECT_EQ("S_OK (0x00000000)", SummaryValue(run.strOut, "result"));
}

TEST(ToolVerify, AlteredFileUnderFolderFailsWithItsChecksum)
{
    CMedium medium;
    BuildTree(medium);
    std::string strAltered(20000, 'd');
    strAltered[19999] = 'D'; // same size: only the checksums tell
    medium.WriteDisc(kFolder + L"/" + kData, strAltered);
    CToolRun run = RunTool(medium.VerifyArgs(1, {L"--on-error", L"fail"}));
    EXPECT_EQ(1, run.iExit) << run.strOut << run.strErr;
    EXPECT_EQ("CONTENT  " + Native8(medium.Disc(kFolder + L"/" + kData)), Lines(run.strOut).at(0));
    EXPECT_EQ("E_FAIL (0x80004005)", SummaryValue(run.strOut, "result"));
    EXPECT_EQ("1 (1 CONTENT)", SummaryValue(run.strOut, "problems")) << run.strOut;
}

TEST(ToolVerify, LongerDiscCopyIsASizeDifference)
{
    CMedium medium;
    BuildTree(medium);
    medium.WriteDisc(kFileU, std::string(40001, 'u'));
    CToolRun run = RunTool(medium.VerifyArgs(1));
    EXPECT_EQ(1, run.iExit) << run.strOut << run.strErr;
    // Revision 1.0 judges the pair by its checksums alone; the tool sees the sizes.
    EXPECT_EQ("SIZE  " + Native8(medium.Disc(kFileU)), Lines(run.strOut).at(0));
}

TEST(ToolVerify, MissingFileSkippedEndsWithSOk)
{
    CMedium medium;
    BuildTree(medium);
    std::filesystem::remove(medium.Disc(kFileA));
    CToolRun run = RunTool(medium.VerifyArgs(1, {L"--on-error", L"skip"}));
    EXPECT_EQ(0, run.iExit) << run.strOut << run.strErr;
    std::vector<std::string> vecOut = Lines(run.strOut);
    // One line, though revision 1.1 reports the source's size too.
    EXPECT_EQ("MISSING  " + Native8(medium.Disc(kFileA)), vecOut.at(0));
    EXPECT_EQ("summary:", vecOut.at(1));
    EXPECT_EQ(kbRev11 ? "1 (1 MISSING) in 2 reports" : "1 (1 MISSING)", SummaryValue(run.strOut, "problems"));
    EXPECT_EQ("S_OK (0x00000000)", SummaryValue(run.strOut, "result"));
}

TEST(ToolVerify, AbortAnswerEndsTheRun)
{
    CMedium medium;
    BuildTree(medium);
    std::filesystem::remove(medium.Disc(kFileA));
    CToolRun run = RunTool(medium.VerifyArgs(1, {L"--on-error", L"abort"}));
    if (!kbRev11) {
        EXPECT_EQ(3, run.iExit); // abort is not part of revision 1.0
        return;
    }
    EXPECT_EQ(2, run.iExit) << run.strOut << run.strErr;
    EXPECT_EQ("E_ABORT (0x80004004)", SummaryValue(run.strOut, "result"));
    EXPECT_EQ("1 (1 MISSING)", SummaryValue(run.strOut, "problems"));
}

TEST(ToolVerify, RawEventsOfAMatchingSingleFile)
{
    CMedium medium;
    medium.WriteBoth(L"one.txt", "abc");
    medium.Describe(1, {L"one.txt"});
    const std::filesystem::path events = medium.Media() / "events.jsonl";
    CToolRun run = RunTool(medium.VerifyArgs(1, {L"--events-raw", WideFromNative(events)}));
    ASSERT_EQ(0, run.iExit) << run.strOut << run.strErr;
    std::vector<std::string> vecExpected;
    if (kbRev11)
        vecExpected = {Event(0, "CRCVERIF_BEGIN", nullptr, 0, 0),
                       Event(4, "CRCVERIF_TARGETDONE", nullptr, 0, 0),
                       Event(2, "CRCVERIF_END", nullptr, 1, 0)};
    else
        vecExpected = {Event(0, "CRCVERIF_BEGIN", nullptr, 1, 0),
                       Event(1, "CRCVERIF_PROGRESS", nullptr, 1, 0), Event(2, "CRCVERIF_END", nullptr, 1, 0)};
    EXPECT_EQ(vecExpected, Lines(kvtest::ReadBytes(events)));
}

TEST(ToolVerify, RawEventsOfAMissingFileWithItsAnswers)
{
    CMedium medium;
#if defined(_WIN32)
    const std::wstring strName = L"m\u00e9 {q}.txt"; // no quotes in Windows names
#else
    const std::wstring strName = L"m\u00e9\"q\".txt";
#endif
    medium.WriteSource(strName, "abc");
    medium.Describe(1, {strName});
    const std::filesystem::path events = medium.Media() / "events.jsonl";
    CToolRun run =
        RunTool(medium.VerifyArgs(1, {L"--events-raw", WideFromNative(events), L"--on-error", L"skip"}));
    ASSERT_EQ(0, run.iExit) << run.strOut << run.strErr;
    const std::wstring strDisc = medium.DiscPath(strName);
    const std::wstring strSource = medium.SourcePath(strName);
    std::vector<std::string> vecExpected;
    if (kbRev11)
        vecExpected = {
            Event(0, "CRCVERIF_BEGIN", nullptr, 0, 0), Event(3, "CRCVERIF_FILEERROR", &strDisc, 1, 0),
            Event(3, "CRCVERIF_FILEERROR", &strSource, 0, 0), Event(2, "CRCVERIF_END", nullptr, 1, 0)};
    else
        vecExpected = {Event(0, "CRCVERIF_BEGIN", nullptr, 1, 0),
                       Event(3, "CRCVERIF_FILEERROR", &strDisc, 1, 0),
                       Event(2, "CRCVERIF_END", nullptr, 1, 0)};
    EXPECT_EQ(vecExpected, Lines(kvtest::ReadBytes(events)));
}

TEST(ToolVerify, EventsOnStandardOutputMovePeoplesLinesToStandardError)
{
    CMedium medium;
    BuildTree(medium);
    std::filesystem::remove(medium.Disc(kFileA));
    CToolRun run = RunTool(medium.VerifyArgs(1, {L"--events", L"-", L"--on-error", L"skip"}));
    EXPECT_EQ(0, run.iExit) << run.strErr;
    std::vector<std::string> vecOut = Lines(run.strOut);
    ASSERT_FALSE(vecOut.empty());
    for (const std::string& strLine : vecOut)
        EXPECT_TRUE(strLine.front() == '{' && strLine.back() == '}') << strLine;
    EXPECT_TRUE(Contains(run.strErr, "MISSING  ")) << run.strErr;
    EXPECT_EQ("S_OK (0x00000000)", SummaryValue(run.strErr, "result"));
}

TEST(ToolVerify, AskReadsAnswersAndRepromptsOnNonsense)
{
    CMedium medium;
    BuildTree(medium);
    std::filesystem::remove(medium.Disc(kFileA));
    const std::wstring strAsk = L"ask";
    // One answer per report: revision 1.1 sends two for a missing copy.
    CToolRun skipped = RunTool(medium.VerifyArgs(1, {L"--on-error", strAsk}), "maybe\ns\ns\n");
    EXPECT_EQ(1, skipped.iExit) << skipped.strOut << skipped.strErr; // skipped, but still a problem
    const std::string strPrompt = kbRev11 ? "[s]kip, [f]ail or [a]bort? " : "[s]kip or [f]ail? ";
    EXPECT_TRUE(Contains(skipped.strErr, strPrompt + strPrompt)) << skipped.strErr;

    CToolRun unanswered = RunTool(medium.VerifyArgs(1, {L"--on-error", strAsk}), "");
    EXPECT_EQ(1, unanswered.iExit) << unanswered.strOut << unanswered.strErr;
    EXPECT_EQ("E_FAIL (0x80004005)", SummaryValue(unanswered.strOut, "result"));
}

TEST(ToolVerify, LogGoesWhereAsked)
{
    CMedium medium;
    medium.WriteBoth(L"one.txt", "abc");
    medium.Describe(1, {L"one.txt"});
    const std::filesystem::path log = medium.Media() / "trace.log";
    CToolRun run = RunTool(medium.VerifyArgs(1, {L"--log", WideFromNative(log)}));
    EXPECT_EQ(0, run.iExit) << run.strErr;
    EXPECT_TRUE(Contains(kvtest::ReadBytes(log), "VerifyBurning")) << kvtest::ReadBytes(log);
}

TEST(ToolDemo, ShowsTheWholeRoadAndCleansUp)
{
    CToolRun run = RunTool({L"demo"});
    EXPECT_EQ(0, run.iExit) << run.strOut << run.strErr;
    EXPECT_TRUE(Contains(run.strOut, "MISSING  ")) << run.strOut;
    EXPECT_TRUE(Contains(run.strOut, "CONTENT  ")) << run.strOut;
    EXPECT_TRUE(Contains(run.strOut, "notes.txt")) << run.strOut;
    EXPECT_EQ(kbRev11 ? "2 (1 MISSING, 1 CONTENT) in 3 reports" : "2 (1 MISSING, 1 CONTENT)",
              SummaryValue(run.strOut, "problems"));
    EXPECT_EQ("S_OK (0x00000000)", SummaryValue(run.strOut, "result"));
    const std::string strHead = "demo: source tree   ";
    std::string strSource;
    for (const std::string& strLine : Lines(run.strOut))
        if (strLine.compare(0, strHead.size(), strHead) == 0)
            strSource = strLine.substr(strHead.size());
    ASSERT_FALSE(strSource.empty()) << run.strOut;
    EXPECT_FALSE(std::filesystem::exists(kvtool::NativePath(kvtool::WideFromUtf8(strSource)).parent_path()));
}
