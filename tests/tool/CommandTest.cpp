// The korvane program run as a process: checksum, describe, usage errors.
#include "Medium.h"
#include "ToolRunner.h"

#include "host/HostPath.h"
#include "host/NativeName.h"
#include "output/Text.h"

#include <KorvaneRevision.h>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kvtooltest;
using kvtool::Utf8FromWide;
using kvtool::WideFromNative;

namespace {

bool Contains(const std::string& strText, const std::string& strPart)
{
    return strText.find(strPart) != std::string::npos;
}

std::string Native8(const std::filesystem::path& path)
{
    return Utf8FromWide(WideFromNative(path));
}

} // namespace

TEST(ToolChecksum, KnownValuesInSha256sumLayout)
{
    kvtest::TempDir dir;
    kvtest::WriteBytes(dir.Path() / "empty", "");
    kvtest::WriteBytes(dir.Path() / "abc", "abc");
    kvtest::WriteBytes(dir.Path() / "zeros", std::string(16384, '\0'));
    CToolRun run = RunTool({L"checksum", WideFromNative(dir.Path() / "empty"),
                            WideFromNative(dir.Path() / "abc"), WideFromNative(dir.Path() / "zeros")});
    EXPECT_EQ(0, run.iExit) << run.strErr;
    EXPECT_EQ((std::vector<std::string>{"614b2ad5  " + Native8(dir.Path() / "empty"),
                                        "736fdbf8  " + Native8(dir.Path() / "abc"),
                                        "c29655aa  " + Native8(dir.Path() / "zeros")}),
              Lines(run.strOut));
    EXPECT_EQ("", run.strErr);
}

TEST(ToolChecksum, UnopenableFileFailsAtTheEndOthersStillPrinted)
{
    kvtest::TempDir dir;
    kvtest::WriteBytes(dir.Path() / "abc", "abc");
    const std::wstring strMissing = WideFromNative(dir.Path() / "missing.bin");
    CToolRun run =
        RunTool({L"checksum", strMissing, WideFromNative(dir.Path() / "abc"), WideFromNative(dir.Path())});
    EXPECT_EQ(1, run.iExit);
    EXPECT_EQ((std::vector<std::string>{"736fdbf8  " + Native8(dir.Path() / "abc")}), Lines(run.strOut));
    std::vector<std::string> vecErr = Lines(run.strErr);
    ASSERT_EQ(2u, vecErr.size()) << run.strErr; // the missing file and the folder
    EXPECT_TRUE(Contains(vecErr[0], Utf8FromWide(strMissing))) << vecErr[0];
}

TEST(ToolChecksum, NonAsciiPath)
{
    kvtest::TempDir dir;
    const std::filesystem::path file =
        dir.Path() / kvtool::NativePath(L"\u00dcn\u00ef\u20ac \u65e5\u672c \U0001F600.txt");
    kvtest::WriteBytes(file, "abc");
    CToolRun run = RunTool({L"checksum", WideFromNative(file)});
    EXPECT_EQ(0, run.iExit) << run.strErr;
    EXPECT_EQ("736fdbf8  " + Native8(file) + "\n", run.strOut);
}

TEST(ToolChecksum, RelativePathIsPrintedAsGiven)
{
    kvtest::TempDir dir;
    const std::filesystem::path file = dir.Path() / "abc.txt";
    kvtest::WriteBytes(file, "abc");
    std::error_code ec;
    std::filesystem::path rel = std::filesystem::relative(file, std::filesystem::current_path(), ec);
    if (ec || rel.empty())
        GTEST_SKIP() << "the temporary folder is on another drive than the working folder";
    CToolRun run = RunTool({L"checksum", WideFromNative(rel)});
    EXPECT_EQ(0, run.iExit) << run.strErr;
    EXPECT_EQ("736fdbf8  " + Native8(rel) + "\n", run.strOut);
}

TEST(ToolUsage, BadCommandLinesGiveOneLineAndExit3)
{
    CMedium medium;
    medium.WriteBoth(L"a.txt", "abc");
    medium.Describe(1, {L"a.txt"});
    const std::wstring strMedia = WideFromNative(medium.Media());
    const std::wstring strXml = WideFromNative(medium.Media() / "Media1.xml");
    std::vector<std::wstring> vecDrive = medium.DriveArgs();
    auto verify = [&](std::vector<std::wstring> vecMore) {
        std::vector<std::wstring> vecArgs = {L"verify"};
        vecArgs.insert(vecArgs.end(), vecDrive.begin(), vecDrive.end());
        vecArgs.insert(vecArgs.end(), vecMore.begin(), vecMore.end());
        return vecArgs;
    };
    struct {
        std::vector<std::wstring> vecArgs;
        const char* pszMessage;
    } cases[] = {
        {{}, "no command given"},
        {{L"frobnicate"}, "unknown command 'frobnicate'"},
        {verify({L"--xml", strXml, L"--bogus"}), "unknown option '--bogus'"},
        {{L"verify", L"--number", L"1", L"--folder", strMedia}, "--drive is missing"},
        {{L"verify", L"--drive"}, "option --drive needs a value"},
        {{L"verify", L"--drive", L"EE", L"--xml", strXml}, "'EE' is not a drive letter"},
        {verify({L"--xml", strXml, L"--number", L"1"}), "give either --number and --folder, or --xml"},
        {verify({L"--number", L"1"}), "--number and --folder go together"},
        {verify({L"--number", L"one", L"--folder", strMedia}), "--number one is not a number"},
        {verify({L"--xml", strXml, L"--on-error", L"maybe"}),
         "--on-error takes ask, continue, skip, fail or abort"},
        {verify({L"--number", L"2", L"--folder", strMedia}), "/Media2.xml not found"}, // the native path
        {verify({L"--xml", strMedia}), "is a folder; give --xml the file in it"},
        {verify({L"--xml", strXml, L"stray"}), "unexpected argument 'stray'"},
        {{L"describe", L"--number", L"1", L"--out", strMedia, L"a.txt"}, "--target is missing"},
        {{L"describe", L"--number", L"1", L"--out", strMedia, L"--target", L"\\"}, "no SOURCE given"},
        {{L"describe", L"--number", L"1", L"--out", strMedia, L"--target", L"\\",
          WideFromNative(medium.Source(L"nope"))},
         "not found"},
        {{L"describe", L"--number", L"1", L"--out", strMedia, L"--target", L"Apps\\..\\..", L"a.txt"},
         "give the folder below the disc's root"},
        {{L"describe", L"--number", L"1", L"--out", strMedia, L"--target", L"E:\\Apps", L"a.txt"},
         "give the folder below the disc's root"},
        {{L"describe", L"--number", L"1", L"--out", strMedia, L"--target", L"\\Apps*\\x", L"a.txt"},
         "a name on a disc cannot hold"},
        {{L"describe", L"--number", L"1", L"--out", strMedia, L"--target", L"\\a|b", L"a.txt"},
         "a name on a disc cannot hold"},
        {{L"check", strMedia}, "is a folder; give the manifest file in it"},
        {{L"checksum"}, "no FILE given"},
        {{L"demo", L"extra"}, "unexpected argument 'extra'"},
#if defined(_WIN32)
        {{L"verify", L"--drive", L"E", L"--map", L"E=C:\\", L"--xml", strXml}, "--map is for Linux"},
#else
        {{L"verify", L"--drive", L"E", L"--map", L"E=/nonexistent/korvane", L"--xml", strXml},
         "no such folder"},
        {{L"verify", L"--drive", L"E", L"--map", L"E", L"--xml", strXml}, "--map needs LETTER=FOLDER"},
        {{L"check", L"/dev/null"}, "is not a file; give --root"},
        {{L"verify", L"--drive", L"E", L"--map", L"E=/dev/null", L"--xml", strXml},
         "not a folder, a disc image or a disc's device"},
        {{L"verify", L"--drive", L"E", L"--map", L"E=/", L"--map", L"e:=/tmp", L"--xml", strXml},
         "--map gives drive E: twice ('E=/', 'e:=/tmp')"},
        {{L"verify", L"--drive", L"E", L"--map", L"E=" + strXml, L"--xml", strXml},
         "holds no disc this build can read"},
        {{L"verify", L"--drive", L"E", L"--map", L"E=" + WideFromNative(medium.Source()), L"--xml", strXml},
         "holds the sources themselves"},
#endif
#if KORVANE_REVISION < 11
        {verify({L"--xml", strXml, L"--on-error", L"abort"}), "cannot abort"},
#endif
    };
    for (const auto& c : cases) {
        CToolRun run = RunTool(c.vecArgs);
        EXPECT_EQ(3, run.iExit) << c.pszMessage << "\n" << run.strOut << run.strErr;
        std::vector<std::string> vecErr = Lines(run.strErr);
        ASSERT_EQ(1u, vecErr.size()) << c.pszMessage << ": " << run.strErr;
        EXPECT_EQ(0u, vecErr[0].find("korvane: ")) << vecErr[0];
        EXPECT_TRUE(Contains(vecErr[0], c.pszMessage)) << vecErr[0];
        EXPECT_EQ("", run.strOut) << c.pszMessage;
    }
}

#if !defined(_WIN32)
TEST(ToolUsage, UnmappedDriveOnLinux)
{
    CMedium medium;
    medium.WriteBoth(L"a.txt", "abc");
    medium.Describe(1, {L"a.txt"});
    unsetenv("KORVANE_DRIVE_Q");
    CToolRun run = RunTool(
        {L"verify", L"--drive", L"q", L"--number", L"1", L"--folder", WideFromNative(medium.Media())});
    EXPECT_EQ(3, run.iExit);
    EXPECT_EQ("korvane: verify: drive Q: is not mapped; give --map Q=FOLDER or set KORVANE_DRIVE_Q (see "
              "'korvane help')\n",
              run.strErr);
    // A description made on Windows: its sources on a drive not mapped here.
    const std::filesystem::path xml = medium.Media() / "Media1.xml";
    std::string strXml = kvtest::ReadBytes(xml);
    const std::string strFull = "<FullPath>" + Utf8FromWide(medium.SourcePath(L"a.txt")) + "</FullPath>";
    ASSERT_NE(std::string::npos, strXml.find(strFull)) << strXml;
    strXml.replace(strXml.find(strFull), strFull.size(), "<FullPath>Q:\\a.txt</FullPath>");
    kvtest::WriteBytes(xml, strXml);
    run = RunTool(medium.VerifyArgs(1));
    EXPECT_EQ(1, run.iExit);
    EXPECT_TRUE(Contains(run.strOut, "  (source Q:/a.txt: drive Q: is not mapped; give --map Q=FOLDER)\n"))
        << run.strOut;
}
#endif

TEST(ToolUsage, HelpAndVersion)
{
    // What each help asks for is shown, with the exit statuses, and no other command.
    struct {
        std::vector<std::wstring> vecArgs;
        const char* pszShown;
        const char* pszNotShown;
    } cases[] = {
        {{L"help"}, "korvane verify --drive E", nullptr},
        {{L"verify", L"--help"}, "korvane verify --drive E", "korvane checksum"},
        {{L"verify", L"--drive", L"E", L"-h"}, "--on-error ask|continue|skip|fail|abort", "korvane demo"},
        {{L"checksum", L"--help"}, "korvane checksum FILE", "korvane verify"},
        {{L"help", L"describe"}, "--force", "korvane verify"},
    };
    for (const auto& c : cases) {
        CToolRun run = RunTool(c.vecArgs);
        EXPECT_EQ(0, run.iExit) << c.pszShown;
        EXPECT_TRUE(Contains(run.strOut, c.pszShown)) << run.strOut;
        EXPECT_TRUE(Contains(run.strOut, "130  interrupted by Ctrl-C")) << run.strOut;
        if (c.pszNotShown) {
            EXPECT_FALSE(Contains(run.strOut, c.pszNotShown)) << run.strOut;
        }
    }
    // "--help" after "--" is an argument, not a request for help.
    CToolRun dashed = RunTool({L"checksum", L"--", L"--help"});
    EXPECT_EQ(1, dashed.iExit);
    EXPECT_TRUE(Contains(dashed.strErr, "cannot read --help: no such file")) << dashed.strErr;

    CToolRun version = RunTool({L"--version"});
    EXPECT_EQ(0, version.iExit);
    const std::string strRevision = KORVANE_REVISION < 11 ? "1.0" : "1.1";
    EXPECT_EQ(0u, version.strOut.find("korvane 1.")) << version.strOut;
    EXPECT_TRUE(Contains(version.strOut, " (commit ")) << version.strOut;
    EXPECT_TRUE(Contains(version.strOut, "), library revision " + strRevision + "\n")) << version.strOut;
}

TEST(ToolDescribe, WritesTheDescriptionFile)
{
    CMedium medium;
    medium.WriteSource(L"a.txt", "abc");
    medium.WriteSource(L"tools/x.bin", std::string(1000, 'x'));
    medium.WriteSource(L"tools/sub/y.bin", std::string(24, 'y'));
    CToolRun run = RunTool({L"describe", L"--number", L"7", L"--out", WideFromNative(medium.Media() / "new"),
                            L"--target", L"/Apps", WideFromNative(medium.Source(L"a.txt")),
                            WideFromNative(medium.Source(L"tools"))});
    ASSERT_EQ(0, run.iExit) << run.strErr;
    const std::filesystem::path file = medium.Media() / "new" / "Media7.xml";
    EXPECT_EQ("wrote " + kvtool::ShownPath(file) + ": 2 entries, 3 files, 1027 bytes\n", run.strOut);
    const std::string strXml = kvtest::ReadBytes(file);
    EXPECT_EQ(0u, strXml.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Factory>\n"));
    for (const std::string& strPart :
         {std::string("<Media_NumberFiles>3</Media_NumberFiles>"),
          std::string("<Media_Size>1027</Media_Size>"),
          "<FullPath>" + Utf8FromWide(medium.SourcePath(L"a.txt")) + "</FullPath>",
          std::string(
              "<TargetPath>\\Apps</TargetPath>\n    <Name>a.txt</Name>\n    <Attribute>32</Attribute>"),
          "<FullPath>" + Utf8FromWide(medium.SourcePath(L"tools")) + "\\*.*</FullPath>",
          std::string("<TargetPath>\\Apps\\tools</TargetPath>\n    <Name>tools</Name>\n    "
                      "<Attribute>16</Attribute>"),
          std::string("<Exclusion>0</Exclusion>"), std::string("<FileSize>1024</FileSize>")})
        EXPECT_TRUE(Contains(strXml, strPart)) << strPart << "\n" << strXml;
}
