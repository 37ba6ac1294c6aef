// korvane compare, describe --sums and check as processes, on real trees;
// the manifests go both ways through GNU sha256sum.
#include "TestSupport.h"
#include "ToolRunner.h"

#include "description/Manifest.h"
#include "output/Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using namespace kvtooltest;
using kvtool::WideFromNative;

namespace {

namespace fs = std::filesystem;

std::string Slashed(const fs::path& path)
{
    return kvtool::Utf8FromWide(WideFromNative(path.generic_wstring()));
}

// Lines "STATUS  rel" as the tool prints them for files below root.
std::vector<std::string> Below(const std::vector<std::string>& vecLines, const fs::path& root)
{
    std::vector<std::string> vecExpected;
    for (const std::string& strLine : vecLines) {
        const size_t iGap = strLine.find("  ");
        vecExpected.push_back(strLine.substr(0, iGap + 2) + Slashed(root) + "/" + strLine.substr(iGap + 2));
    }
    return vecExpected;
}

// The problem lines: what comes before the summary.
std::vector<std::string> ProblemLines(const std::string& strOut)
{
    std::vector<std::string> vecLines = Lines(strOut);
    for (size_t i = 0; i < vecLines.size(); ++i)
        if (vecLines[i] == "summary:")
            return std::vector<std::string>(vecLines.begin(), vecLines.begin() + i);
    ADD_FAILURE() << "no summary in\n" << strOut;
    return vecLines;
}

void Tree(const fs::path& root)
{
    kvtest::WriteBytes(root / "a.txt", "alpha");
    kvtest::WriteBytes(root / "docs" / "b.txt", "bravo");
    kvtest::WriteBytes(root / "docs" / "Readme.md", "readme");
}

// With folders side by side below one: each is expected, not only the first;
// and folders with no file below them, expected too.
void DeepTree(const fs::path& root)
{
    Tree(root);
    kvtest::WriteBytes(root / "docs" / "deep" / "c" / "x.txt", "x");
    kvtest::WriteBytes(root / "docs" / "deep" / "d" / "y.txt", "y");
    fs::create_directories(root / "docs" / "empty");
    fs::create_directories(root / "e1" / "e2");
}

size_t FilesBelow(const fs::path& source)
{
    size_t n = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source))
        n += entry.is_regular_file() ? 1 : 0;
    return n;
}

// The summary's entries for a compare of this source: one per file.
std::string ListedText(const fs::path& source)
{
    const size_t n = FilesBelow(source);
    return std::to_string(n) + " (" + std::to_string(n) + (n == 1 ? " file" : " files") + " listed)";
}

struct CCompareCase {
    const char* pszName;
    std::function<void(const fs::path&)> fnDamage; // on the copy
    bool bIgnoreCase;
    int iExit;
    std::vector<std::string> vecLines; // "STATUS  rel", rel below the copy
    std::function<void(const fs::path&)> fnSource = [](const fs::path&) {};
};

} // namespace

TEST(ToolCompare, EachFaultOneLineAndExitStatus)
{
    const std::vector<CCompareCase> vecCases =
    { {"clean", [](const fs::path&) {}, false, 0, {}},
      {"missing", [](const fs::path& c) { fs::remove(c / "docs/b.txt"); }, false, 1, {"MISSING  docs/b.txt"}},
      {"size",
       [](const fs::path& c) { kvtest::WriteBytes(c / "a.txt", "alpha!"); },
       false,
       1,
       {"SIZE  a.txt"}},
      {"content",
       [](const fs::path& c) { kvtest::WriteBytes(c / "a.txt", "alphA"); },
       false,
       1,
       {"CONTENT  a.txt"}},
      {"extra file and folder",
       [](const fs::path& c) {
           kvtest::WriteBytes(c / "docs/new.txt", "x");
           kvtest::WriteBytes(c / "more/deep/y.txt", "y");
       },
       false,
       1,
       {"EXTRA  docs/new.txt", "EXTRA  more"}},
      {"an empty folder missing",
       [](const fs::path& c) { fs::remove(c / "docs/empty"); },
       false,
       1,
       {"MISSING  docs/empty"}},
      {"nested empty folders missing: one line",
       [](const fs::path& c) { fs::remove_all(c / "e1"); },
       false,
       1,
       {"MISSING  e1"}},
      {"extra folder beside expected ones",
       [](const fs::path& c) { kvtest::WriteBytes(c / "docs/deep/e/z.txt", "z"); },
       false,
       1,
       {"EXTRA  docs/deep/e"}},
      {"not a file",
       [](const fs::path& c) {
           fs::remove(c / "a.txt");
           fs::create_directory(c / "a.txt");
       },
       false,
       1,
       {"NOT-A-FILE  a.txt  (a folder)"}},
#if !defined(_WIN32)
      {"extra, named beyond ASCII",
       [](const fs::path& c) { kvtest::WriteBytes(c / "\u65E5\u672C/x.txt", "x"); },
       false,
       1,
       {"EXTRA  \u65E5\u672C"}},
      {"case differs",
       [](const fs::path& c) { fs::rename(c / "docs/Readme.md", c / "docs/README.MD"); },
       false,
       1,
       {"MISSING  docs/Readme.md", "EXTRA  docs/README.MD"}},
      {"case differs for every file of a folder",
       [](const fs::path& c) {
           fs::rename(c / "docs/b.txt", c / "docs/B.txt");
           fs::rename(c / "docs/Readme.md", c / "docs/README.MD");
       },
       false,
       1,
       {"MISSING  docs/Readme.md", "MISSING  docs/b.txt", "EXTRA  docs/B.txt", "EXTRA  docs/README.MD"}},
      {"case differs, ignored",
       [](const fs::path& c) {
           fs::rename(c / "docs", c / "DOCS");
           fs::rename(c / "DOCS/Readme.md", c / "DOCS/README.MD");
       },
       true,
       0,
       {}},
      {"case differs, ignored, content still checked",
       [](const fs::path& c) {
           fs::rename(c / "docs/Readme.md", c / "docs/README.md");
           kvtest::WriteBytes(c / "docs/README.md", "READMe");
       },
       true,
       1,
       {"CONTENT  docs/README.md"}},
      {"two source names, one file on a copy that ignores case",
       [](const fs::path&) {},
       true,
       1,
       {"MISSING  docs/B.txt  (its name differs from docs/b.txt's only in case: the copy holds one file for "
        "both)"},
       [](const fs::path& s) { fs::copy_file(s / "docs/b.txt", s / "docs/B.txt"); }},
      {"a \"?\" of a source name, no wildcard on a copy that ignores case",
       [](const fs::path& c) { kvtest::WriteBytes(c / "docs/aX.txt", "x"); },
       true,
       1,
       {"MISSING  docs/a?.txt", "EXTRA  docs/aX.txt"},
       [](const fs::path& s) { kvtest::WriteBytes(s / "docs/a?.txt", "x"); }},
#endif
    };
    for (const CCompareCase& test : vecCases) {
        SCOPED_TRACE(test.pszName);
        kvtest::TempDir dir;
        DeepTree(dir.Path() / "src");
        DeepTree(dir.Path() / "copy");
        test.fnSource(dir.Path() / "src");
        test.fnDamage(dir.Path() / "copy");
        std::vector<std::wstring> vecArgs = {L"compare", WideFromNative(dir.Path() / "src") + L"/",
                                             WideFromNative(dir.Path() / "copy")};
        if (test.bIgnoreCase)
            vecArgs.push_back(L"--ignore-case");
        CToolRun run = RunTool(vecArgs);
        EXPECT_EQ(test.iExit, run.iExit) << run.strErr;
        EXPECT_EQ(Below(test.vecLines, dir.Path() / "copy"), ProblemLines(run.strOut));
        // Every source file counts as listed, whatever the copy lacks, at the end line too.
        EXPECT_EQ(ListedText(dir.Path() / "src"), SummaryValue(run.strOut, "entries"));
        EXPECT_NE(std::string::npos,
                  run.strErr.find("end: " + std::to_string(FilesBelow(dir.Path() / "src")) + " files listed"))
            << run.strErr;
    }
#if !defined(_WIN32)
    // The same copies as disc images, made by xorriso: the image's files are
    // the copy, and each line names its file inside the image.
    for (const CCompareCase& test : vecCases) {
        SCOPED_TRACE(std::string(test.pszName) + ", as an image");
        kvtest::TempDir dir;
        DeepTree(dir.Path() / "src");
        DeepTree(dir.Path() / "copy");
        test.fnSource(dir.Path() / "src");
        test.fnDamage(dir.Path() / "copy");
        const fs::path image = dir.Path() / "copy.iso";
        ASSERT_EQ(0, std::system(("xorriso -as mkisofs -R -J -o '" + image.string() + "' '" +
                                  (dir.Path() / "copy").string() + "' >/dev/null 2>&1")
                                     .c_str()));
        std::vector<std::wstring> vecArgs = {L"compare", WideFromNative(dir.Path() / "src") + L"/",
                                             WideFromNative(image)};
        if (test.bIgnoreCase)
            vecArgs.push_back(L"--ignore-case");
        CToolRun run = RunTool(vecArgs);
        EXPECT_EQ(test.iExit, run.iExit) << run.strErr;
        EXPECT_EQ(Below(test.vecLines, image), ProblemLines(run.strOut));
    }
#endif
}

#if !defined(_WIN32)
// A folder of a disc image whose records lie past the image's end, as on a
// disc cut short: it cannot be listed, so what it holds is not known either.
TEST(ToolCompare, ImageFolderThatCannotBeReadIsUnreadable)
{
    kvtest::TempDir dir;
    Tree(dir.Path() / "src");
    Tree(dir.Path() / "copy");
    const fs::path image = dir.Path() / "copy.iso";
    ASSERT_EQ(0, std::system(("xorriso -as mkisofs -J -o '" + image.string() + "' '" +
                              (dir.Path() / "copy").string() + "' >/dev/null 2>&1")
                                 .c_str()));
    // The Joliet record of "docs": its name (UTF-16BE) at 33, after its
    // length (8) at 32; its extent, both-endian, at 2.
    std::string strImage = kvtest::ReadBytes(image);
    const size_t ibName = strImage.find(std::string("\x08\0d\0o\0c\0s", 9));
    ASSERT_NE(std::string::npos, ibName);
    strImage.replace(ibName - 31, 8, "\xf0\xff\xff\x00\x00\xff\xff\xf0", 8);
    kvtest::WriteBytes(image, strImage);
    CToolRun run = RunTool({L"compare", WideFromNative(dir.Path() / "src") + L"/", WideFromNative(image)});
    EXPECT_EQ(1, run.iExit) << run.strOut << run.strErr;
    EXPECT_EQ(
        Below({"UNREADABLE  docs/Readme.md  (Input/output error)",
               "UNREADABLE  docs/b.txt  (Input/output error)", "UNREADABLE  docs  (Input/output error)"},
              image),
        ProblemLines(run.strOut));
}
#endif

#if !defined(_WIN32)
// A file whose bytes stop part way, as on a disc with a bad sector: the
// library sums what it could not read as zeros, which is no other content.
TEST(ToolCompare, FileThatStopsReadingPartWayIsUnreadable)
{
    kvtest::TempDir dir;
    std::string strBig(100000, '\0');
    for (std::size_t i = 0; i < strBig.size(); ++i)
        strBig[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
    for (const char* pszTree : {"src", "copy"}) {
        fs::create_directories(dir.Path() / pszTree);
        kvtest::WriteBytes(dir.Path() / pszTree / "big.bin", strBig);
    }
    const fs::path image = dir.Path() / "copy.iso";
    ASSERT_EQ(0, std::system(("xorriso -as mkisofs -R -J -o '" + image.string() + "' '" +
                              (dir.Path() / "copy").string() + "' >/dev/null 2>&1")
                                 .c_str()));
    const std::string strImage = kvtest::ReadBytes(image);
    const size_t ibBig = strImage.find(strBig);
    ASSERT_NE(std::string::npos, ibBig);
    kvtest::WriteBytes(image, strImage.substr(0, ibBig + 40000));
    CToolRun run = RunTool({L"compare", WideFromNative(dir.Path() / "src") + L"/", WideFromNative(image)});
    EXPECT_EQ(1, run.iExit) << run.strOut << run.strErr;
    EXPECT_EQ(Below({"UNREADABLE  big.bin  (Input/output error)"}, image), ProblemLines(run.strOut));
}
#endif

#if !defined(_WIN32)
// A "\" in a Linux name is part of the name: "x\y" is not the file y in the
// folder x beside it, whichever way the copy is checked.
TEST(ToolCompare, BackslashInANameIsPartOfIt)
{
    struct CCase {
        const char* pszName;
        const char* pszCopy; // what the copy's "x\y" holds; nullptr: none
        int iExit;
        std::vector<std::string> vecLines;
    };
    const CCase aCases[] = {
        {"the same", "A", 0, {}},
        {"other bytes", "C", 1, {"CONTENT  x\\\\y"}},
        {"missing", nullptr, 1, {"MISSING  x\\\\y"}},
    };
    for (const CCase& test : aCases) {
        SCOPED_TRACE(test.pszName);
        kvtest::TempDir dir;
        for (const char* pszSide : {"src", "copy"}) {
            kvtest::WriteBytes(dir.Path() / pszSide / "x\\y", "A");
            kvtest::WriteBytes(dir.Path() / pszSide / "x" / "y", "A");
        }
        const fs::path copy = dir.Path() / "copy";
        if (test.pszCopy)
            kvtest::WriteBytes(copy / "x\\y", test.pszCopy);
        else
            fs::remove(copy / "x\\y");
        const std::wstring strSrc = WideFromNative(dir.Path() / "src");
        const std::wstring strDesc = WideFromNative(dir.Path() / "desc");
        CToolRun compared = RunTool({L"compare", strSrc + L"/", WideFromNative(copy)});
        EXPECT_EQ(test.iExit, compared.iExit) << compared.strOut << compared.strErr;
        EXPECT_EQ(Below(test.vecLines, copy), ProblemLines(compared.strOut));
        // describe and verify, with the copy as the disc; sha256sum reads the manifest.
        ASSERT_EQ(0, RunTool({L"describe", L"--sums", L"--number", L"1", L"--target", L"\\", L"--out",
                              strDesc, strSrc + L"/x", strSrc + L"/x\\y"})
                         .iExit);
        CToolRun verified = RunTool({L"verify", L"--drive", L"E", L"--xml", strDesc + L"/Media1.xml",
                                     L"--map", L"E=" + WideFromNative(copy)});
        EXPECT_EQ(test.iExit, verified.iExit) << verified.strOut << verified.strErr;
        EXPECT_EQ(Below(test.vecLines, copy), ProblemLines(verified.strOut));
        EXPECT_EQ(test.iExit == 0,
                  std::system(("cd '" + copy.string() + "' && sha256sum -c --quiet '" +
                               (dir.Path() / "desc" / "Media1.sha256").string() + "' >/dev/null 2>&1")
                                  .c_str()) == 0);
    }
}
#endif

#if !defined(_WIN32)
// A FIFO and a link to a folder of the source are expected on the copy by
// name: never EXTRA there, MISSING when the copy lacks them or holds a
// regular file in their place.
TEST(ToolCompare, FifoAndLinkAreExpectedOnTheCopy)
{
    enum class ECopy { Same, Missing, Files };
    const std::vector<std::pair<ECopy, std::vector<std::string>>> vecCases = {
        {ECopy::Same, {}},
        {ECopy::Missing, {"MISSING  fifo", "MISSING  to-docs"}},
        {ECopy::Files,
         {"MISSING  fifo  (a regular file on the copy)", "MISSING  to-docs  (a regular file on the copy)"}},
    };
    for (const auto& [eCopy, vecLines] : vecCases) {
        SCOPED_TRACE(static_cast<int>(eCopy));
        kvtest::TempDir dir;
        for (const char* pszSide : {"src", "copy"}) {
            const fs::path side = dir.Path() / pszSide;
            Tree(side);
            ASSERT_EQ(0, std::system(("mkfifo '" + (side / "fifo").string() + "'").c_str()));
            fs::create_directory_symlink("docs", side / "to-docs");
        }
        const fs::path copy = dir.Path() / "copy";
        if (eCopy != ECopy::Same) {
            fs::remove(copy / "fifo");
            fs::remove(copy / "to-docs");
        }
        if (eCopy == ECopy::Files) {
            kvtest::WriteBytes(copy / "fifo", "");
            kvtest::WriteBytes(copy / "to-docs", "");
        }
        CToolRun run = RunTool({L"compare", WideFromNative(dir.Path() / "src") + L"/", WideFromNative(copy)});
        EXPECT_EQ(vecLines.empty() ? 0 : 1, run.iExit) << run.strOut << run.strErr;
        EXPECT_EQ(Below(vecLines, copy), ProblemLines(run.strOut));
    }
}
#endif

#if !defined(_WIN32)
// describe of what an image holds, through a drive mapped to it; verify then
// compares the tree, as the disc, with the image.
TEST(ToolDescribe, ImageContentsAgainstTheirTree)
{
    struct Case {
        const char* pszName;
        std::function<void(const fs::path&)> fnDamage; // on the tree, once the image is made
        int iExit;
        std::vector<std::string> vecLines; // "STATUS  rel", rel below the tree
    };
    const Case cases[] = {
        {"clean", [](const fs::path&) {}, 0, {}},
        {"content",
         [](const fs::path& t) { kvtest::WriteBytes(t / "docs/b.txt", "bravO"); },
         1,
         {"CONTENT  docs/b.txt"}},
        {"missing", [](const fs::path& t) { fs::remove(t / "a.txt"); }, 1, {"MISSING  a.txt"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.pszName);
        kvtest::TempDir dir;
        const fs::path tree = dir.Path() / "tree";
        Tree(tree);
        const fs::path image = dir.Path() / "disc.iso";
        ASSERT_EQ(0, std::system(("xorriso -as mkisofs -R -J -o '" + image.string() + "' '" + tree.string() +
                                  "' >/dev/null 2>&1")
                                     .c_str()));
        const std::wstring strMap = L"I=" + WideFromNative(image);
        CToolRun run = RunTool({L"describe", L"--sums", L"--map", strMap, L"--number", L"1", L"--out",
                                WideFromNative(dir.Path()), L"--target", L"\\", L"I:\\"});
        ASSERT_EQ(0, run.iExit) << run.strErr;
        EXPECT_NE(std::string::npos, run.strOut.find("2 entries, 3 files, 16 bytes")) << run.strOut;
        test.fnDamage(tree);
        run = RunTool({L"verify", L"--xml", WideFromNative(dir.Path() / "Media1.xml"), L"--drive", L"E",
                       L"--map", L"E=" + WideFromNative(tree), L"--map", strMap});
        EXPECT_EQ(test.iExit, run.iExit) << run.strErr << run.strOut;
        EXPECT_EQ(Below(test.vecLines, tree), ProblemLines(run.strOut));
        // The manifest holds the image's files, as sha256sum reads the tree.
        EXPECT_EQ(test.iExit == 0, std::system(("cd '" + tree.string() + "' && sha256sum -c --quiet '" +
                                                (dir.Path() / "Media1.sha256").string() + "' >/dev/null 2>&1")
                                                   .c_str()) == 0);
    }
}
#endif

TEST(ToolCompare, OutputsAsVerifyHasThem)
{
    // What each output choice prints, and an events or log file inside
    // the copy (one of the run's inputs) refused before anything is read.
    struct {
        const char* pszName;
        std::vector<std::wstring> vecOptions; // "@" stands for the copy folder
        int iExit;
        bool bOut;
    } cases[] = {
        {"status", {L"--status"}, 1, false},
        {"quiet", {L"--quiet"}, 1, true},
        {"events in the copy", {L"--events", L"@/ev.json"}, 3, false},
        {"log in the copy", {L"--log", L"@/docs/a.log"}, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        kvtest::TempDir dir;
        Tree(dir.Path() / "src");
        Tree(dir.Path() / "copy");
        kvtest::WriteBytes(dir.Path() / "copy" / "a.txt", "alphA");
        std::vector<std::wstring> vecArgs = {L"compare", WideFromNative(dir.Path() / "src") + L"/",
                                             WideFromNative(dir.Path() / "copy")};
        for (std::wstring str : c.vecOptions) {
            if (str[0] == L'@')
                str = WideFromNative(dir.Path() / "copy") + str.substr(1);
            vecArgs.push_back(str);
        }
        CToolRun run = RunTool(vecArgs);
        EXPECT_EQ(c.iExit, run.iExit) << run.strErr;
        EXPECT_EQ(c.bOut, !run.strOut.empty()) << run.strOut;
        EXPECT_FALSE(fs::exists(dir.Path() / "copy" / "ev.json"));
    }
}

TEST(ToolCompare, FolderWithoutSlashIsExpectedBelowTheCopy)
{
    kvtest::TempDir dir;
    Tree(dir.Path() / "src");
    Tree(dir.Path() / "dest" / "src");
    kvtest::WriteBytes(dir.Path() / "dest" / "other.txt", "not part of the comparison");
    CToolRun run =
        RunTool({L"compare", WideFromNative(dir.Path() / "src"), WideFromNative(dir.Path() / "dest")});
    EXPECT_EQ(0, run.iExit) << run.strOut << run.strErr;
    // The same tree given with a slash: its files are not at the top of dest.
    run =
        RunTool({L"compare", WideFromNative(dir.Path() / "src") + L"/", WideFromNative(dir.Path() / "dest")});
    EXPECT_EQ(1, run.iExit);
    EXPECT_EQ(5u, ProblemLines(run.strOut).size()) << run.strOut; // three MISSING, other.txt and src EXTRA
    // Given without the slash against a copy of its contents: the slash is named.
    run = RunTool(
        {L"compare", WideFromNative(dir.Path() / "src"), WideFromNative(dir.Path() / "dest" / "src")});
    EXPECT_EQ(1, run.iExit);
    EXPECT_NE(std::string::npos, run.strErr.find(" is not there; to compare what ")) << run.strErr;
    EXPECT_NE(std::string::npos, run.strErr.find("end SOURCE with '/'")) << run.strErr;
}

// Copies named in other ways than a folder's contents: the source itself
// is refused (it would pass whatever it holds); a file against a missing
// copy of another name is one pair, one line, though the library reports
// its disc copy and then its source.
TEST(ToolCompare, CopiesNamedOtherwise)
{
    kvtest::TempDir dir;
    const fs::path src = dir.Path() / "src";
    Tree(src);
    fs::create_directories(dir.Path() / "dest");
    const std::wstring strSrc = WideFromNative(src);
    // A tree of hard links (cp -al) holds its own copies: compared, not refused.
    const fs::path linked = dir.Path() / "linked";
    fs::create_directories(linked);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(src)) {
        const fs::path to = linked / fs::relative(entry.path(), src);
        if (entry.is_directory())
            fs::create_directories(to);
        else
            fs::create_hard_link(entry.path(), to);
    }
    const struct {
        std::wstring strSource, strCopy;
        int iExit;
        std::vector<std::string> vecLines; // below dest
    } cases[] = {
        {strSrc + L"/", strSrc, 3, {}},
        {strSrc, WideFromNative(dir.Path()), 3, {}},
        {WideFromNative(src / "a.txt"), WideFromNative(src / "a.txt"), 3, {}},
        {WideFromNative(src / "a.txt"), WideFromNative(dir.Path() / "dest" / "b.txt"), 1, {"MISSING  b.txt"}},
        {strSrc + L"/", WideFromNative(linked), 0, {}},
        {WideFromNative(src / "a.txt"), WideFromNative(linked / "a.txt"), 0, {}},
    };
    for (const auto& c : cases) {
        CToolRun run = RunTool({L"compare", c.strSource, c.strCopy});
        EXPECT_EQ(c.iExit, run.iExit) << kvtool::Utf8FromWide(c.strSource + L" " + c.strCopy);
        if (c.iExit == 3)
            EXPECT_NE(std::string::npos, run.strErr.find("is the source itself")) << run.strErr;
        else
            EXPECT_EQ(Below(c.vecLines, dir.Path() / "dest"), ProblemLines(run.strOut)) << run.strOut;
    }
}

#if !defined(_WIN32)
TEST(ToolCompare, ControlCharactersAndPathsPastTheReportBuffer)
{
    kvtest::TempDir dir;
    const std::string strLong =
        std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(60, 'f') + ".txt";
    kvtest::WriteBytes(dir.Path() / "src" / "bad\nname", "x");
    kvtest::WriteBytes(dir.Path() / "src" / strLong, "long");
    kvtest::WriteBytes(dir.Path() / "copy" / strLong, "lonG");
    CToolRun run =
        RunTool({L"compare", WideFromNative(dir.Path() / "src") + L"/", WideFromNative(dir.Path() / "copy")});
    EXPECT_EQ(1, run.iExit) << run.strErr;
    const std::string strCopy = Slashed(dir.Path() / "copy") + "/";
    EXPECT_EQ(
        (std::vector<std::string>{"MISSING  " + strCopy + "bad\\nname", "CONTENT  " + strCopy + strLong}),
        ProblemLines(run.strOut));
}
#endif

TEST(ToolManifest, LinesBothWays)
{
    const std::string strHex(64, 'a');
    const std::vector<std::pair<std::string, std::string>> vecCases = {
        {"docs/a.txt", strHex + "  docs/a.txt\n"},
        {"a\\b", "\\" + strHex + "  a\\\\b\n"},
        {"new\nline\r", "\\" + strHex + "  new\\nline\\r\n"},
    };
    for (const auto& [strPath, strLine] : vecCases) {
        EXPECT_EQ(strLine, kvtool::ManifestLine(strHex, strPath));
        kvtool::CManifestEntry entry;
        ASSERT_TRUE(kvtool::ParseManifestLine(strLine.substr(0, strLine.size() - 1), entry)) << strLine;
        EXPECT_EQ(strPath, entry.strPath);
    }
    kvtool::CManifestEntry entry;
    // sha256sum's binary mark, a CRLF end, and its --tag form, where a name
    // may hold ") = " itself.
    const std::vector<std::pair<std::string, std::string>> vecRead = {
        {std::string(64, 'F') + " *./x/y", "x/y"},
        {std::string(64, 'F') + " *./x/y\r", "x/y"},
        {"SHA256 (./x/y) = " + strHex, "x/y"},
        {"SHA256 (a) = b) = " + strHex + "\r", "a) = b"},
        {"\\SHA256 (we\\\\ird\\nname) = " + strHex, "we\\ird\nname"},
    };
    for (const auto& [strLine, strPath] : vecRead) {
        EXPECT_TRUE(kvtool::ParseManifestLine(strLine, entry)) << strLine;
        EXPECT_EQ(strPath, entry.strPath);
    }
    EXPECT_EQ(strHex.size(), entry.strHex.size());
    for (const std::string& strBad :
         {std::string(63, 'a') + "  x", std::string(64, 'g') + "  x", strHex + " x", strHex + "  ",
          "\\" + strHex + "  a\\qb", "SHA256 () = " + strHex, "SHA1 (x) = " + strHex,
          "SHA256 (x) = " + strHex + "0"})
        EXPECT_FALSE(kvtool::ParseManifestLine(strBad, entry)) << strBad;

    const std::vector<std::pair<std::string, bool>> vecOutside = {
        {"..a/b..", false},
        {"a/../b", true},
        {"a/..", true},
        {"/etc/x", true},
#if defined(_WIN32)
        {"C:x", true},
        {"a\\..\\b", true},
#else
        {"a\\..\\b", false}, // one name on Linux
#endif
    };
    for (const auto& [strPath, bOutside] : vecOutside)
        EXPECT_EQ(bOutside, kvtool::LeavesRoot(strPath)) << strPath;

    // The description burned beside a manifest, spelled as the disc shows it.
    const std::vector<std::pair<std::string, std::string>> vecBeside = {
        {"Media1.sha256", "Media1.xml"},
        {"MEDIA12.SHA256", "MEDIA12.XML"},
        {"media3.sha256", "media3.xml"},
        {"Mediax.sha256", ""},
        {"sums.sha256", ""},
    };
    for (const auto& [strManifest, strDescription] : vecBeside)
        EXPECT_EQ(strDescription, kvtool::DescriptionBeside(strManifest)) << strManifest;
}

// describe --sums writes what check reads, on every platform and with the
// paths as the platform writes them: the manifest holds paths relative to
// the disc with '/' and the digests GNU sha256sum gives for these bytes.
TEST(ToolCheck, ManifestFromDescribeFindsEachFault)
{
    const std::string strManifest =
        "8ed3f6ad685b959ead7022518e1af76cd816f8e8ec7ccdda1ed4018e8f2223f8  a.txt\n"
        "711a6108ba2ce6ca93dd47d6817f2361db10d8ab6eec89460b2dfc2c325efabe  docs/Readme.md\n"
        "f144a6907dc4284d1f9fe6a7d9b9ff53c02c1d07ba68f24d413d7ff7f757a782  docs/b.txt\n";
    struct CCase {
        const char* pszName;
        std::function<void(const fs::path&)> fnDamage; // on the source
        std::vector<std::string> vecLines;             // "STATUS  rel", rel below the source
    };
    const std::vector<CCase> vecCases = {
        {"clean", [](const fs::path&) {}, {}},
        {"content", [](const fs::path& r) { kvtest::WriteBytes(r / "a.txt", "alphA"); }, {"CONTENT  a.txt"}},
        {"longer",
         [](const fs::path& r) { kvtest::WriteBytes(r / "docs" / "b.txt", "bravo!"); },
         {"CONTENT  docs/b.txt"}},
        {"missing",
         [](const fs::path& r) { fs::remove(r / "docs" / "Readme.md"); },
         {"MISSING  docs/Readme.md"}},
        {"extra",
         [](const fs::path& r) { kvtest::WriteBytes(r / "new" / "n.txt", "n"); },
         {"EXTRA  new/n.txt"}},
        {"not a file",
         [](const fs::path& r) {
             fs::remove(r / "a.txt");
             fs::create_directory(r / "a.txt");
         },
         {"NOT-A-FILE  a.txt  (a folder)"}},
    };
    for (const CCase& test : vecCases) {
        SCOPED_TRACE(test.pszName);
        kvtest::TempDir dir;
        const fs::path root = dir.Path() / "src";
        Tree(root);
        CToolRun run =
            RunTool({L"describe", L"--number", L"7", L"--out", WideFromNative(dir.Path() / "m"), L"--target",
                     L"\\", L"--sums", WideFromNative(root / "a.txt"), WideFromNative(root / "docs")});
        ASSERT_EQ(0, run.iExit) << run.strErr;
        EXPECT_EQ(strManifest, kvtest::ReadBytes(dir.Path() / "m" / "Media7.sha256"));
        test.fnDamage(root);
        run = RunTool(
            {L"check", WideFromNative(dir.Path() / "m" / "Media7.sha256"), L"--root", WideFromNative(root)});
        EXPECT_EQ(test.vecLines.empty() ? 0 : 1, run.iExit) << run.strOut << run.strErr;
        EXPECT_EQ(Below(test.vecLines, root), ProblemLines(run.strOut));
#if !defined(_WIN32)
        // The same tree burned to an xorriso image with the manifest and the
        // description at its top, checked without mounting it: they are no EXTRA files.
        const fs::path image = dir.Path() / "src.iso";
        ASSERT_EQ(0, std::system(("xorriso -as mkisofs -R -J -o '" + image.string() + "' '" + root.string() +
                                  "' '" + (dir.Path() / "m" / "Media7.sha256").string() + "' '" +
                                  (dir.Path() / "m" / "Media7.xml").string() + "' >/dev/null 2>&1")
                                     .c_str()));
        // The manifest given by its path on the disc alone is read from the image.
        for (const std::wstring& strManifest :
             {WideFromNative(dir.Path() / "m" / "Media7.sha256"), std::wstring(L"Media7.sha256")}) {
            run = RunTool({L"check", strManifest, L"--root", WideFromNative(image)});
            EXPECT_EQ(test.vecLines.empty() ? 0 : 1, run.iExit) << run.strOut << run.strErr;
            EXPECT_EQ(Below(test.vecLines, image), ProblemLines(run.strOut));
        }
        run = RunTool({L"check", L"Media8.sha256", L"--root", WideFromNative(image)});
        EXPECT_EQ(4, run.iExit);
        EXPECT_NE(std::string::npos, run.strErr.find(", nor " + (image / "Media8.sha256").string()))
            << run.strErr;
#endif
    }
}

#if !defined(_WIN32)
namespace {

int Shell(const std::string& strCommand)
{
    return std::system(("sh -c '" + strCommand + "' >/dev/null 2>&1").c_str());
}

} // namespace

TEST(ToolManifest, DescribeSumsPassesSha256sum)
{
    kvtest::TempDir dir;
    Tree(dir.Path() / "src");
    kvtest::WriteBytes(dir.Path() / "src" / "docs" / "odd\\name\nhere", "odd");
    CToolRun run = RunTool({L"describe", L"--number", L"7", L"--out", WideFromNative(dir.Path() / "m"),
                            L"--target", L"\\", L"--sums", WideFromNative(dir.Path() / "src" / "a.txt"),
                            WideFromNative(dir.Path() / "src" / "docs")});
    ASSERT_EQ(0, run.iExit) << run.strErr;
    EXPECT_EQ(0, Shell("cd " + dir.Path().string() + "/src && sha256sum --strict -c ../m/Media7.sha256"));
    kvtest::WriteBytes(dir.Path() / "src" / "docs" / "b.txt", "bravO");
    EXPECT_NE(0, Shell("cd " + dir.Path().string() + "/src && sha256sum -c ../m/Media7.sha256"));
}

TEST(ToolCheck, ReadsSha256sumManifestsAndReportsFaults)
{
    struct CCase {
        const char* pszName;
        std::function<void(const fs::path&)> fnDamage;
        std::vector<std::string> vecLines;
        const char* pszChecked; // a file that could not be read was not checked
    };
    const std::vector<CCase> vecCases = {
        {"clean", [](const fs::path&) {}, {}, "3"},
        {"missing", [](const fs::path& r) { fs::remove(r / "docs/b.txt"); }, {"MISSING  docs/b.txt"}, "2"},
        {"content",
         [](const fs::path& r) { kvtest::WriteBytes(r / "a.txt", "alphA"); },
         {"CONTENT  a.txt"},
         "3"},
        {"extra",
         [](const fs::path& r) { kvtest::WriteBytes(r / "new/n.txt", "n"); },
         {"EXTRA  new/n.txt"},
         "3"},
        {"not a file",
         [](const fs::path& r) {
             fs::remove(r / "a.txt");
             Shell("mkfifo " + (r / "a.txt").string());
         },
         {"NOT-A-FILE  a.txt  (a FIFO)"},
         "2"},
    };
    // With "./" from find, without, and in the --tag form; after a comment,
    // or after the byte order mark a Windows editor may put first.
    const std::pair<const char*, const char*> aLists[] = {
        {"echo \\# sums", "$(find . -type f)"},
        {"echo \\# sums", "a.txt docs/b.txt docs/Readme.md"},
        {"echo \\# sums", "--tag a.txt docs/b.txt docs/Readme.md"},
        {"printf \"\\357\\273\\277\"", "a.txt docs/b.txt docs/Readme.md"},
    };
    for (const auto& [pszFirst, pszList] : aLists) {
        for (const CCase& test : vecCases) {
            SCOPED_TRACE(std::string(test.pszName) + ", " + pszFirst + ", " + pszList);
            kvtest::TempDir dir;
            const fs::path root = dir.Path() / "root";
            Tree(root);
            ASSERT_EQ(0, Shell("cd " + root.string() + " && { " + pszFirst + "; sha256sum " + pszList +
                               "; } >../sums"));
            test.fnDamage(root);
            CToolRun run =
                RunTool({L"check", WideFromNative(dir.Path() / "sums"), L"--root", WideFromNative(root)});
            EXPECT_EQ(test.vecLines.empty() ? 0 : 1, run.iExit) << run.strErr;
            EXPECT_EQ(Below(test.vecLines, root), ProblemLines(run.strOut));
            EXPECT_EQ(test.pszChecked, SummaryValue(run.strOut, "files checked"));
        }
    }
}

// A line another digest tool wrote is not checked and fails the run with
// what it is; the files it names are not taken for files the manifest
// leaves out.
TEST(ToolCheck, LinesOfAnotherDigestFailWithoutExtraFiles)
{
    const std::vector<std::pair<std::string, std::string>> vecCases = {
        {"md5sum", "its digest has 32 hex digits, not 64"},
        {"sha1sum", "its digest has 40 hex digits, not 64"},
        {"sha512sum", "its digest has 128 hex digits, not 64"},
        {"sha1sum --tag", "its digest is SHA1"},
        {"b2sum --tag", "its digest is BLAKE2b"},
    };
    for (const auto& [strTool, strWhat] : vecCases) {
        SCOPED_TRACE(strTool);
        kvtest::TempDir dir;
        const fs::path root = dir.Path() / "root";
        Tree(root);
        ASSERT_EQ(0, Shell("cd " + root.string() + " && { sha256sum a.txt; " + strTool +
                           " docs/b.txt docs/Readme.md; } >../sums"));
        CToolRun run =
            RunTool({L"check", WideFromNative(dir.Path() / "sums"), L"--root", WideFromNative(root)});
        EXPECT_EQ(1, run.iExit) << run.strErr;
        EXPECT_EQ(std::vector<std::string>(), ProblemLines(run.strOut));
        EXPECT_EQ("1", SummaryValue(run.strOut, "files checked"));
        EXPECT_NE(std::string::npos, run.strOut.find("sums:2: not a SHA-256 line (" + strWhat + ")"))
            << run.strOut;
    }
}

// check stops at a short read that reaches the size a file had when opened:
// sizes around its 256 KiB reads hash as sha256sum hashes them, to the last
// byte, and the bytes read add up to the files' sizes.
TEST(ToolCheck, FilesEndWhereSha256sumEndsThem)
{
    const std::size_t aSizes[] = {0, 1, 262143, 262144, 262145, 524288 + 7, 3 << 20};
    kvtest::TempDir dir;
    const fs::path root = dir.Path() / "root";
    std::string strNames;
    for (std::size_t cb : aSizes) {
        std::string str(cb, '\0');
        for (std::size_t i = 0; i < cb; ++i)
            str[i] = static_cast<char>((i * 37 + cb) & 0xFF);
        kvtest::WriteBytes(root / std::to_string(cb), str);
        strNames += " " + std::to_string(cb);
    }
    ASSERT_EQ(0, Shell("cd " + root.string() + " && sha256sum" + strNames + " >../sums"));
    CToolRun run = RunTool({L"check", WideFromNative(dir.Path() / "sums"), L"--root", WideFromNative(root)});
    EXPECT_EQ(0, run.iExit) << run.strOut << run.strErr;
    EXPECT_EQ("7", SummaryValue(run.strOut, "files checked"));
    EXPECT_EQ("4 MiB", SummaryValue(run.strOut, "read"));
    // The last byte of each file counts.
    std::vector<std::string> vecLines;
    for (std::size_t cb : aSizes)
        if (cb != 0) {
            std::string str = kvtest::ReadBytes(root / std::to_string(cb));
            str.back() ^= 1;
            kvtest::WriteBytes(root / std::to_string(cb), str);
            vecLines.push_back("CONTENT  " + std::to_string(cb));
        }
    std::sort(vecLines.begin(), vecLines.end());
    run = RunTool({L"check", WideFromNative(dir.Path() / "sums"), L"--root", WideFromNative(root)});
    EXPECT_EQ(1, run.iExit) << run.strErr;
    std::vector<std::string> vecGot = ProblemLines(run.strOut);
    std::sort(vecGot.begin(), vecGot.end());
    EXPECT_EQ(Below(vecLines, root), vecGot);
}

#if !defined(_WIN32)
// A name that is not UTF-8: check reads it as sha256sum does; compare cannot
// give it to the library in a description, and says so instead of calling
// it missing; describe --sums cannot give it a disc path, and stops.
TEST(ToolCheck, NameThatIsNotUtf8)
{
    kvtest::TempDir dir;
    for (const char* pszSide : {"src", "copy"})
        kvtest::WriteBytes(dir.Path() / pszSide / "bad\xff.txt", "x");
    ASSERT_EQ(0, Shell("cd " + (dir.Path() / "src").string() + " && sha256sum * >../sums"));
    CToolRun checked = RunTool(
        {L"check", WideFromNative(dir.Path() / "sums"), L"--root", WideFromNative(dir.Path() / "copy")});
    EXPECT_EQ(0, checked.iExit) << checked.strOut << checked.strErr;
    EXPECT_EQ("1", SummaryValue(checked.strOut, "files checked"));
    CToolRun compared =
        RunTool({L"compare", WideFromNative(dir.Path() / "src") + L"/", WideFromNative(dir.Path() / "copy")});
    EXPECT_EQ(1, compared.iExit);
    // The copy's path, as every line of compare and verify's line below.
    EXPECT_EQ(std::vector<std::string>{"UNREADABLE  " + (dir.Path() / "copy").string() +
                                       "/bad\\377.txt  (its name is not UTF-8, so it was not compared)"},
              ProblemLines(compared.strOut));
    // describe --sums refuses to write its disc path, and writes nothing.
    CToolRun described = RunTool({L"describe", L"--sums", L"--number", L"1", L"--target", L"\\", L"--out",
                                  WideFromNative(dir.Path() / "desc"), WideFromNative(dir.Path() / "src")});
    EXPECT_EQ(4, described.iExit) << described.strErr;
    EXPECT_NE(std::string::npos, described.strErr.find("bad\\377.txt: its path is not UTF-8"))
        << described.strErr;
    EXPECT_FALSE(fs::exists(dir.Path() / "desc" / "Media1.xml"));
    // Nor can an argument be such a name: said so, rather than "no such file".
    const fs::path err = dir.Path() / "err.txt";
    EXPECT_EQ(3 << 8, Shell(ToolPath().string() + " checksum \"" +
                            (dir.Path() / "src" / "bad\xff.txt").string() + "\" 2>" + err.string()));
    EXPECT_NE(std::string::npos, kvtest::ReadBytes(err).find("bad\\377.txt: not UTF-8"))
        << kvtest::ReadBytes(err);
    // A folder entry: the library lists the name but cannot open it.
    ASSERT_EQ(0, RunTool({L"describe", L"--number", L"1", L"--target", L"\\", L"--out",
                          WideFromNative(dir.Path() / "desc"), WideFromNative(dir.Path() / "src")})
                     .iExit);
    kvtest::WriteBytes(dir.Path() / "disc" / "src" / "bad\xff.txt", "x");
    CToolRun verified =
        RunTool({L"verify", L"--drive", L"E", L"--xml", WideFromNative(dir.Path() / "desc" / "Media1.xml"),
                 L"--map", L"E=" + WideFromNative(dir.Path() / "disc")});
    EXPECT_EQ(1, verified.iExit);
    EXPECT_EQ(std::vector<std::string>{"UNREADABLE  " + (dir.Path() / "disc" / "src").string() +
                                       "/bad\\377.txt  (its name is not UTF-8, so it was not compared)"},
              ProblemLines(verified.strOut))
        << verified.strOut;
}
#endif

TEST(ToolCheck, DefaultRootIsTheManifestsFolderWhichIsNotExtra)
{
    kvtest::TempDir dir;
    Tree(dir.Path());
    ASSERT_EQ(0, Shell("cd " + dir.Path().string() + " && sha256sum a.txt docs/*.* >MANIFEST.sha256"));
    CToolRun run = RunTool({L"check", WideFromNative(dir.Path() / "MANIFEST.sha256")});
    EXPECT_EQ(0, run.iExit) << run.strOut << run.strErr;
    kvtest::WriteBytes(dir.Path() / "empty.sha256", "\n");
    run = RunTool({L"check", WideFromNative(dir.Path() / "empty.sha256")});
    EXPECT_EQ(1, run.iExit) << "a manifest without files must not pass";
    // Said so, and not drowned in every file of the root as EXTRA.
    EXPECT_EQ(std::vector<std::string>{}, ProblemLines(run.strOut));
    EXPECT_NE(std::string::npos, run.strOut.find("the manifest lists no entries")) << run.strOut;
    // An events file below the root would be read as one more file.
    run = RunTool({L"check", WideFromNative(dir.Path() / "MANIFEST.sha256"), L"--events",
                   WideFromNative(dir.Path() / "docs" / "ev.jsonl")});
    EXPECT_EQ(3, run.iExit) << run.strErr;
    EXPECT_FALSE(fs::exists(dir.Path() / "docs" / "ev.jsonl"));
    // A path that leaves the root is not read, even where it leads to a match.
    kvtest::WriteBytes(dir.Path() / "docs" / "up.sha256",
                       "8ed3f6ad685b959ead7022518e1af76cd816f8e8ec7ccdda1ed4018e8f2223f8  ../a.txt\n");
    run = RunTool({L"check", WideFromNative(dir.Path() / "docs" / "up.sha256"), L"--quiet"});
    EXPECT_EQ(1, run.iExit);
    EXPECT_EQ("0", SummaryValue(run.strOut, "files checked"));
    EXPECT_NE(std::string::npos, run.strOut.find("up.sha256:1: a path outside the root")) << run.strOut;
}
// A folder that cannot be listed fails the run and is named with the reason:
// its files were never compared, or what it holds beyond the list is unknown.
TEST(ToolCopyCheck, FolderThatCannotBeListedFailsTheRun)
{
    struct CCase {
        const char* pszName;
        const char* pszLocked; // below the test's folder
        std::vector<std::wstring> vecArgs;
        int iExit;
        std::vector<std::string> vecLines; // "STATUS  path" below the test's folder
        const char* pszError;              // what standard error says; "" nothing
    };
    kvtest::TempDir dir;
    const std::wstring strDir = WideFromNative(dir.Path());
    const std::vector<CCase> vecCases = {
        {"compare: a source folder, and nothing below it on the copy is EXTRA",
         "src/docs",
         {L"compare", strDir + L"/src/", strDir + L"/copy"},
         1,
         {"UNREADABLE  src/docs  (Permission denied)"},
         ""},
        {"compare: the source itself",
         "src",
         {L"compare", strDir + L"/src/", strDir + L"/copy"},
         1,
         {},
         "korvane: compare: cannot list "},
        {"compare: a copy folder",
         "copy/docs",
         {L"compare", strDir + L"/src/", strDir + L"/copy"},
         1,
         {"UNREADABLE  copy/docs/Readme.md  (Permission denied)",
          "UNREADABLE  copy/docs/b.txt  (Permission denied)", "UNREADABLE  copy/docs  (Permission denied)"},
         ""},
        {"verify: a source folder the library cannot list",
         "src/docs",
         {L"verify", L"--drive", L"E", L"--xml", strDir + L"/desc/Media1.xml", L"--map",
          L"E=" + strDir + L"/disc"},
         1,
         {"UNREADABLE  disc/src/docs  (source " + Slashed(dir.Path()) + "/src/docs: Permission denied)"},
         ""},
        {"check: a folder below the root",
         "copy/docs",
         {L"check", strDir + L"/sums", L"--root", strDir + L"/copy"},
         1,
         {"UNREADABLE  copy/docs  (Permission denied)"},
         ""},
        {"describe --sums: a source folder",
         "src/docs",
         {L"describe", L"--sums", L"--number", L"1", L"--target", L"\\", L"--out", strDir + L"/out",
          strDir + L"/src"},
         4,
         {},
         "describe: cannot list "},
    };
    for (const CCase& test : vecCases) {
        SCOPED_TRACE(test.pszName);
        fs::remove_all(dir.Path() / "out");
        Tree(dir.Path() / "src");
        Tree(dir.Path() / "copy");
        kvtest::WriteBytes(dir.Path() / "copy" / "docs" / "more.txt", "more");
        ASSERT_EQ(0, Shell("cd " + dir.Path().string() + "/copy && sha256sum a.txt >../sums"));
        Tree(dir.Path() / "disc" / "src");
        ASSERT_EQ(0, RunTool({L"describe", L"--force", L"--number", L"1", L"--target", L"\\", L"--out",
                              strDir + L"/desc", strDir + L"/src"})
                         .iExit);
        const fs::path locked = dir.Path() / test.pszLocked;
        fs::permissions(locked, fs::perms::none);
        CToolRun run = RunTool(test.vecArgs, std::string(), true);
        fs::permissions(locked, fs::perms::owner_all);
        EXPECT_EQ(test.iExit, run.iExit) << run.strOut << run.strErr;
        if (*test.pszError)
            EXPECT_NE(std::string::npos, run.strErr.find(test.pszError)) << run.strErr;
        else
            EXPECT_EQ(Below(test.vecLines, dir.Path()), ProblemLines(run.strOut));
        EXPECT_FALSE(fs::exists(dir.Path() / "out" / "Media1.xml")); // describe wrote nothing
    }
}
#endif
