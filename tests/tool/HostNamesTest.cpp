// The disc read as Windows reads it, end to end: names in another case are
// the same names, and what is not a file is reported, never read forever.
#include "Medium.h"
#include "ToolRunner.h"

#include "output/Text.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kvtooltest;
using kvtool::Utf8FromWide;

namespace {

TEST(ToolHostNames, DiscNamesInAnotherCaseVerify)
{
    CMedium medium;
    medium.WriteSource(L"APPS/Tool/Setup.EXE", "setup");
    medium.WriteSource(L"APPS/Tool/\u00c4rger.txt", "x");
    medium.WriteDisc(L"apps/tool/setup.exe", "setup");
    medium.WriteDisc(L"apps/tool/\u00e4RGER.TXT", "x");
    medium.Describe(1, {L"APPS"});
    CToolRun run = RunTool(medium.VerifyArgs(1, {L"--on-error", L"fail"}));
    EXPECT_EQ(0, run.iExit) << run.strOut << run.strErr;
}

#if !defined(_WIN32)
TEST(ToolHostNames, LinkToADeviceIsReportedNotRead)
{
    CMedium medium;
    medium.WriteBoth(L"dir/a.txt", "abc");
    medium.WriteBoth(L"dir/z.bin", "zzz");
    medium.Describe(1, {L"dir"});
    for (const std::filesystem::path& path : {medium.Source(L"dir/z.bin"), medium.Disc(L"dir/z.bin")}) {
        std::filesystem::remove(path);
        std::filesystem::create_symlink("/dev/zero", path);
    }
    CToolRun run = RunTool(medium.VerifyArgs(1, {L"--on-error", L"fail"}));
    EXPECT_EQ(1, run.iExit) << run.strOut << run.strErr;
    ASSERT_FALSE(Lines(run.strOut).empty());
    EXPECT_EQ("NOT-A-FILE  " + medium.Disc(L"dir/z.bin").string() + "  (a character device)",
              Lines(run.strOut).at(0));
}

// A folder entry of a whole drive ("I:\*.*"): its empty folders are looked
// for on the disc, in any case as Windows would.
TEST(ToolHostNames, EmptyFoldersOfADriveRootAreLookedFor)
{
    const std::pair<const wchar_t*, const char*> aCases[] = {
        {L"sub/INNER", ""},
        {L"sub", "MISSING  "},
    };
    for (const auto& [pszOnDisc, pszLine] : aCases) {
        CMedium medium;
        std::filesystem::create_directories(medium.Source(L"inner"));
        std::filesystem::create_directories(medium.Disc(pszOnDisc));
        std::filesystem::create_directories(medium.Media());
        kvtest::WriteBytes(medium.Media() / "Media1.xml",
                           "<?xml version=\"1.0\"?><Factory><FILE><FullPath>I:\\*.*</FullPath>"
                           "<TargetPath>\\sub</TargetPath><Name>sub</Name><Attribute>16</Attribute>"
                           "</FILE></Factory>");
        std::vector<std::wstring> vecArgs = medium.VerifyArgs(1);
        vecArgs.push_back(L"--map");
        vecArgs.push_back(L"I=" + kvtool::WideFromNative(medium.Source()));
        CToolRun run = RunTool(vecArgs);
        const std::string strLine = pszLine;
        EXPECT_EQ(strLine.empty() ? 0 : 1, run.iExit) << run.strOut << run.strErr;
        EXPECT_EQ(strLine.empty() ? "summary:" : strLine + medium.Disc(L"sub/inner").string(),
                  Lines(run.strOut).at(0));
    }
}
#endif

} // namespace
