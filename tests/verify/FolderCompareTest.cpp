// The folder comparison on real trees: what it compares, in what order,
// what it skips, and where it leaves the FDesc's paths.
#include "Harness.h"
#include "LogCapture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kvtest {
namespace {

const std::wstring kEnterPrefix = L"CKorvane::CheckFileCRC(FDesc *pFDesc) (Source File = ";

// The source/target pairs that CheckFileCRC was called with, in order.
std::vector<std::pair<std::wstring, std::wstring>> Compared(const LogCapture& log)
{
    std::vector<std::pair<std::wstring, std::wstring>> out;
    for (const std::wstring& s : log.Texts(ZRLOG_ENTER)) {
        if (s.compare(0, kEnterPrefix.size(), kEnterPrefix) != 0)
            continue;
        const size_t iSep = s.find(L" / Target File = ");
        out.emplace_back(s.substr(kEnterPrefix.size(), iSep - kEnterPrefix.size()), s.substr(iSep + 17));
    }
    return out;
}

class FolderCompareTest : public testing::Test {
  protected:
    TestDrive src{L'S'};
    TestDrive disc{L'T'};
    TestKorvane k;
    Host host;
    FDesc desc;

    void SetUp() override
    {
#if KORVANE_REVISION >= 11
        k.m_llBytesDone = 0;
        k.m_dwLastMiB = 0;
        k.m_bAbortVerif = FALSE;
#endif
    }
    // The same file in the source tree and on the disc.
    void Both(const std::wstring& strRel, const std::string& bytes)
    {
        src.Write(strRel, bytes);
        disc.Write(strRel, bytes);
    }
    void Point(const std::wstring& strSource, const std::wstring& strTarget)
    {
        desc.strFullPath = strSource.c_str();
        desc.strTargetPath = strTarget.c_str();
    }
};

TEST_F(FolderCompareTest, TrailingBackslashMakesNoDifference)
{
    Both(L"Data\\a.txt", "a");
    Both(L"Data\\sub\\b.txt", "b");
    std::vector<std::pair<std::wstring, std::wstring>> walks[2];
    for (int i = 0; i < 2; ++i) {
        LogCapture log;
        Point(i == 0 ? src.Win(L"Data") : src.Win(L"Data") + L"\\", disc.Win(L"Data") + L"\\");
        EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
        walks[i] = Compared(log);
        std::sort(walks[i].begin(), walks[i].end());
    }
    EXPECT_EQ(walks[0], walks[1]);
    ASSERT_EQ(2u, walks[0].size());
    EXPECT_EQ(std::make_pair(src.Win(L"Data\\a.txt"), disc.Win(L"Data\\a.txt")), walks[0][0]);
    EXPECT_EQ(std::make_pair(src.Win(L"Data\\sub\\b.txt"), disc.Win(L"Data\\sub\\b.txt")), walks[0][1]);
}

TEST_F(FolderCompareTest, EmptyFolderChecksNothing)
{
    src.MakeDir(L"Empty");
    LogCapture log;
    Point(src.Win(L"Empty"), disc.Win(L"Empty") + L"\\");
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    EXPECT_TRUE(Compared(log).empty());
    EXPECT_TRUE(log.Records().empty()) << "the folder walk writes no trace of its own";
}

TEST_F(FolderCompareTest, SystemVolumeInformationIsNeverWalked)
{
    Both(L"Top\\System Volume Information\\b.txt", "b");
    Both(L"Top\\c.txt", "c");
    src.Write(L"Top\\System Volume Information\\only-in-source.txt", "x");
    LogCapture log;
    Point(src.Win(L"Top"), disc.Win(L"Top") + L"\\");
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    const auto compared = Compared(log);
    ASSERT_EQ(1u, compared.size());
    EXPECT_EQ(src.Win(L"Top\\c.txt"), compared[0].first);
}

// Only a folder whose name is the system folder's, in any case, is left out;
// a name that merely holds it is walked like any other. Each folder holds a
// file missing from the disc, so a walked folder fails.
TEST_F(FolderCompareTest, OnlyTheExactSystemFolderNameIsSkipped)
{
    struct Case {
        const wchar_t* pszName;
        bool bSkipped;
    };
    const Case cases[] = {
        {L"System Volume Information", true},    {L"system volume information", true},
        {L"SYSTEM VOLUME INFORMATION", true},    {L"System Volume Information Backup", false},
        {L"xSystem Volume Informationy", false}, {L"Old System Volume Information", false},
        {L"System Volume Informatio", false},    {L"System  Volume Information", false},
    };
    for (const Case& c : cases) {
        const std::wstring strTop = std::wstring(L"Top-") + std::to_wstring(&c - cases);
        src.Write(strTop + L"\\" + c.pszName + L"\\only-in-source.txt", "x");
        // Met during the walk and given as the folder to walk: the same rule.
        for (const std::wstring& strStart : {strTop, strTop + L"\\" + c.pszName}) {
            LogCapture log;
            Point(src.Win(strStart), disc.Win(strStart) + L"\\");
            EXPECT_HR(c.bSkipped ? S_OK : E_FAIL, k.CheckDirCRC(&desc)) << Narrow(strStart);
            EXPECT_EQ(c.bSkipped ? 0u : 1u, Compared(log).size()) << Narrow(strStart);
        }
    }
}

// A component anywhere in the path counts, in either separator; one that
// only holds the name does not.
TEST_F(FolderCompareTest, SystemFolderAnywhereInTheStartingPath)
{
    struct Case {
        const wchar_t* pszRel;
        bool bSkipped;
    };
    const Case cases[] = {
        {L"A\\System Volume Information\\B", true},
        {L"A\\system volume INFORMATION\\B\\C", true},
        {L"A\\System Volume Information Backup\\B", false},
        {L"A\\My System Volume Information\\System Volume Information.old", false},
    };
    for (const Case& c : cases) {
        src.Write(std::wstring(c.pszRel) + L"\\f.txt", "f");
        for (const std::wstring& strSource : {src.Win(c.pszRel), src.Win(c.pszRel) + L"\\"}) {
            std::wstring strSlashes = strSource;
            std::replace(strSlashes.begin() + 3, strSlashes.end(), L'\\', L'/');
            for (const std::wstring& strGiven : {strSource, strSlashes}) {
                LogCapture log;
                Point(strGiven, disc.Win(L"Elsewhere") + L"\\");
                EXPECT_HR(c.bSkipped ? S_OK : E_FAIL, k.CheckDirCRC(&desc)) << Narrow(strGiven);
                EXPECT_EQ(c.bSkipped ? 0u : 1u, Compared(log).size()) << Narrow(strGiven);
            }
        }
    }
}

TEST_F(FolderCompareTest, DeepFileJoinsFoldersWithSingleBackslashes)
{
    Both(L"Root\\one\\two\\three\\deep.bin", std::string(100, '\0'));
    LogCapture log;
    Point(src.Win(L"Root") + L"\\", disc.Win(L"Disc") + L"\\");
    disc.Write(L"Disc\\one\\two\\three\\deep.bin", std::string(100, '\0'));
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    ASSERT_EQ(1u, Compared(log).size());
    EXPECT_EQ(std::make_pair(src.Win(L"Root\\one\\two\\three\\deep.bin"),
                             disc.Win(L"Disc\\one\\two\\three\\deep.bin")),
              Compared(log)[0]);
    EXPECT_STREQ((src.Win(L"Root") + L"\\").c_str(), desc.strFullPath);
    EXPECT_STREQ((disc.Win(L"Disc") + L"\\").c_str(), desc.strTargetPath);
}

TEST_F(FolderCompareTest, HiddenFilesAreCompared)
{
    Both(L"H\\.hidden", "h");
    Both(L"H\\visible", "v");
    LogCapture log;
    Point(src.Win(L"H"), disc.Win(L"H") + L"\\");
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    EXPECT_EQ(2u, Compared(log).size());
}

TEST_F(FolderCompareTest, SkippedMismatchLetsTheWalkGoOnAndRestoresThePaths)
{
    src.Write(L"W\\a.txt", "abc");
    disc.Write(L"W\\a.txt", "abcd"); // sizes differ
    Both(L"W\\b.txt", "b");
    Both(L"W\\c.txt", "c");
    host.AnswerErrors(0);
    host.Attach(k);
    LogCapture log;
    Point(src.Win(L"W"), disc.Win(L"W") + L"\\");
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    EXPECT_EQ(3u, Compared(log).size());
    EXPECT_EQ(1u, host.Only(CRCVERIF_FILEERROR).size());
    EXPECT_STREQ(src.Win(L"W").c_str(), desc.strFullPath);
    EXPECT_STREQ((disc.Win(L"W") + L"\\").c_str(), desc.strTargetPath);
}

TEST_F(FolderCompareTest, FailureThreeLevelsDownStopsEveryLevelAndNamesTheFile)
{
    Both(L"F\\x\\y\\z\\good.txt", "g");
    src.Write(L"F\\x\\y\\z\\bad.txt", "abc");
    disc.Write(L"F\\x\\y\\z\\bad.txt", "abd");
    Point(src.Win(L"F"), disc.Win(L"F") + L"\\");
    LogCapture log;
    const HRESULT hr = k.CheckDirCRC(&desc);
    EXPECT_HR(E_FAIL, hr);
    EXPECT_STREQ(src.Win(L"F\\x\\y\\z\\bad.txt").c_str(), desc.strFullPath);
    EXPECT_STREQ(disc.Win(L"F\\x\\y\\z\\bad.txt").c_str(), desc.strTargetPath);
}

TEST_F(FolderCompareTest, SubFolderIsWalkedWholeBeforeLaterEntries)
{
    for (const wchar_t* psz :
         {L"O\\a1.txt", L"O\\m\\s1.txt", L"O\\m\\s2.txt", L"O\\m\\n\\t1.txt", L"O\\z1.txt"})
        Both(psz, "x");
    LogCapture log;
    Point(src.Win(L"O"), disc.Win(L"O") + L"\\");
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    const auto compared = Compared(log);
    ASSERT_EQ(5u, compared.size());
    // The three files under m come one after another, whatever the order the
    // file system lists the entries of O in.
    std::vector<int> under;
    for (size_t i = 0; i < compared.size(); ++i)
        if (compared[i].first.find(L"\\m\\") != std::wstring::npos)
            under.push_back(static_cast<int>(i));
    ASSERT_EQ(3u, under.size());
    EXPECT_EQ(2, under.back() - under.front());
}

TEST_F(FolderCompareTest, NullDescription)
{
    LogCapture log;
    EXPECT_HR(E_INVALIDARG, k.CheckDirCRC(nullptr));
    EXPECT_EQ(std::vector<std::wstring>{L"CKorvane::CheckDirCRC(FDesc *pFDesc) pFDesc = NULL !"},
              log.Messages());
}

// A folder that cannot be listed is reported like a missing source instead of
// passing as an empty one.
TEST_F(FolderCompareTest, UnlistableFolderWithoutCallbackFails)
{
    LogCapture log;
    Point(src.Win(L"Gone"), disc.Win(L"Gone") + L"\\");
    EXPECT_HR(E_FAIL, k.CheckDirCRC(&desc));
    EXPECT_EQ(std::vector<std::wstring>{L"CKorvane::CheckDirCRC(FDesc *pFDesc) ERROR folder " +
                                        src.Win(L"Gone") + L" cannot be listed"},
              log.Messages());
}

TEST_F(FolderCompareTest, UnlistableFolderAnswers)
{
    struct Case {
        DWORD dwAnswer;
        HRESULT hrExpected;
    };
    const Case cases[] = {
        {0, S_OK},
        {1, E_FAIL},
#if KORVANE_REVISION >= 11
        {2, E_ABORT}
#else
        {2, S_OK}                               // revision 1.0 has no abort: 2 skips
#endif
    };
    for (const Case& c : cases) {
        host.calls.clear();
        host.AnswerErrors(c.dwAnswer);
        host.Attach(k);
        Point(src.Win(L"Gone\\"), disc.Win(L"Gone") + L"\\");
        EXPECT_HR(c.hrExpected, k.CheckDirCRC(&desc)) << "answer " << c.dwAnswer;
        EXPECT_EQ(std::vector<Call>{Cmd(CRCVERIF_FILEERROR, src.Win(L"Gone"), 1)}, host.calls);
    }
}

// Links that lead back to a folder on the current branch: the folder is not
// walked again, so a correct copy holding them passes with every file
// compared once. A link to a folder off the branch is walked like a folder.
TEST_F(FolderCompareTest, LinksBackToTheBranchAreNotWalkedAgain)
{
    struct Link {
        const wchar_t* pszLink;   // below the source root
        const wchar_t* pszTarget; // below the source root, or "." for the link's own folder
    };
    struct Case {
        const char* pszName;
        std::vector<Link> links;
        std::vector<std::wstring> extraOnDisc; // what a link off the branch adds to the copy
    };
    const Case cases[] = {
        {"link to .", {{L"X11\\self", L"."}}, {}},
        {"link to the top folder", {{L"X11\\bin\\up", L"X11"}}, {}},
        {"link to the parent", {{L"X11\\bin\\lib\\parent", L"X11\\bin"}}, {}},
        {"two links in one folder", {{L"X11\\bin\\a", L"X11"}, {L"X11\\bin\\b", L"."}}, {}},
        {"links on two levels", {{L"X11\\self", L"."}, {L"X11\\bin\\lib\\top", L"X11"}}, {}},
        {"link off the branch", {{L"X11\\alias", L"X11\\bin\\lib"}}, {L"alias\\l.txt"}},
    };
    for (const Case& c : cases) {
        TestDrive source{L'S'};
        TestDrive copy{L'T'};
        for (const wchar_t* pszRel : {L"X11\\x.txt", L"X11\\bin\\b.txt", L"X11\\bin\\lib\\l.txt"}) {
            source.Write(pszRel, "data");
            copy.Write(pszRel, "data");
        }
        for (const std::wstring& strRel : c.extraOnDisc)
            copy.Write(L"X11\\" + strRel, "data");
        bool bMade = true;
        for (const Link& l : c.links)
            bMade = bMade && MakeFolderLink(std::wstring(l.pszTarget) == L"." ? std::filesystem::path(".")
                                                                              : source.Native(l.pszTarget),
                                            source.Native(l.pszLink));
        if (!bMade)
            GTEST_SKIP() << "no folder links here";
        LogCapture log;
        Point(source.Win(L"X11"), copy.Win(L"X11") + L"\\");
        EXPECT_HR(S_OK, k.CheckDirCRC(&desc)) << c.pszName;
        EXPECT_EQ(3u + c.extraOnDisc.size(), Compared(log).size()) << c.pszName;
        EXPECT_EQ(std::vector<std::wstring>{}, log.Texts(ZRLOG_ERROR)) << c.pszName;
        EXPECT_STREQ(source.Win(L"X11").c_str(), desc.strFullPath) << c.pszName;
    }
}

// The same through a whole run: the copy of a tree with a link to "."
// passes, with the end report.
TEST_F(FolderCompareTest, RunOverATreeLinkedToItselfPasses)
{
    TestDrive media{L'U'};
    Both(L"X11\\x.txt", "x");
    Both(L"X11\\bin\\b.txt", "b");
    if (!MakeFolderLink(".", src.Native(L"X11\\X11")) || !MakeFolderLink(".", src.Native(L"X11\\bin\\again")))
        GTEST_SKIP() << "no folder links here";
    Entry folder;
    folder.strFullPath = src.Win(L"X11\\*.*");
    folder.strTargetPath = disc.Below(L"X11");
    folder.dwAttribute = FILE_ATTRIBUTE_DIRECTORY;
    media.Write(L"Media1.xml", Description({folder}, 2, 0));
    EXPECT_HR(S_OK, k.VerifyBurning(L'T', media.Win(L"Media1.xml").c_str(), host.Callback(), host.User()));
    EXPECT_TRUE(host.Only(CRCVERIF_FILEERROR).empty());
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(Cmd(CRCVERIF_END, 2), host.calls.back());
}

// A listing that breaks off is reported like a folder that cannot be listed;
// only the end of the entries ends a folder quietly.
TEST_F(FolderCompareTest, ListingThatBreaksOffIsReported)
{
    for (const wchar_t* psz : {L"L\\a.txt", L"L\\b.txt", L"L\\c.txt", L"L\\d.txt"})
        Both(psz, "x");
    const std::wstring strPattern = src.Win(L"L") + L"\\*.*";
    struct Case {
        DWORD dwError;  // of FindNextFileW once ".", ".." and two files were given
        bool bCallback; // the host answers dwAnswer
        DWORD dwAnswer;
        HRESULT hrExpected;
    };
    const Case cases[] = {
        {ERROR_NO_MORE_FILES, false, 0, S_OK},
        {ERROR_NETNAME_DELETED, false, 0, E_FAIL},
        {ERROR_ACCESS_DENIED, false, 0, E_FAIL},
        {ERROR_NETNAME_DELETED, true, 0, S_OK},
        {ERROR_NETNAME_DELETED, true, 1, E_FAIL},
#if KORVANE_REVISION >= 11
        {ERROR_NETNAME_DELETED, true, 2, E_ABORT},
#else
        {ERROR_NETNAME_DELETED, true, 2, S_OK}, // revision 1.0 has no abort: 2 skips
#endif
    };
    for (const Case& c : cases) {
        host.calls.clear();
        host.AnswerErrors(c.dwAnswer);
        if (c.bCallback)
            host.Attach(k);
        else
            k.m_lpCB = nullptr;
        const FaultScope fault([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
            if (ctx.eCall != kvwin32::Call::FindNextFileW || ctx.pszPath != strPattern || ctx.qwOffset != 4)
                return TRUE;
            *pdwError = c.dwError;
            return FALSE;
        });
        LogCapture log;
        Point(src.Win(L"L"), disc.Win(L"L") + L"\\");
        const std::string strCase = std::to_string(c.dwError) + (c.bCallback ? " answer " : " no callback ") +
                                    std::to_string(c.dwAnswer);
        EXPECT_HR(c.hrExpected, k.CheckDirCRC(&desc)) << strCase;
        EXPECT_EQ(2u, Compared(log).size()) << strCase;
        const bool bReported = c.dwError != ERROR_NO_MORE_FILES;
        std::vector<Call> expected;
        if (bReported && c.bCallback)
            expected.push_back(Cmd(CRCVERIF_FILEERROR, src.Win(L"L"), 1));
        EXPECT_EQ(expected, host.Only(CRCVERIF_FILEERROR)) << strCase;
        std::vector<std::wstring> errors;
        if (bReported && c.hrExpected == E_FAIL)
            errors.push_back(L"CKorvane::CheckDirCRC(FDesc *pFDesc) ERROR folder " + src.Win(L"L") +
                             L" cannot be listed to its end");
        EXPECT_EQ(errors, log.Texts(ZRLOG_ERROR)) << strCase;
        const std::vector<std::wstring> infos = log.Texts(ZRLOG_INFO);
        EXPECT_EQ(c.hrExpected == E_ABORT,
                  std::find(infos.begin(), infos.end(),
                            L"CKorvane::CheckDirCRC(FDesc *pFDesc) Abort Verification") != infos.end())
            << strCase;
        // The paths name the folder whose listing stopped the walk, or are as given.
        EXPECT_STREQ(src.Win(L"L").c_str(), desc.strFullPath) << strCase;
    }
}

// A sub-folder that cannot be listed, or whose listing breaks off, stops the
// walk above it; the description's entry fails with the sub-folder named.
TEST_F(FolderCompareTest, SubFolderThatFailsToListFailsTheRun)
{
    TestDrive media{L'U'};
    Both(L"R\\a.txt", "a");
    Both(L"R\\sub\\s1.txt", "s");
    Both(L"R\\sub\\s2.txt", "s");
    Entry folder;
    folder.strFullPath = src.Win(L"R\\*.*");
    folder.strTargetPath = disc.Below(L"R");
    folder.dwAttribute = FILE_ATTRIBUTE_DIRECTORY;
    media.Write(L"Media1.xml", Description({folder}, 3, 0));
    const std::wstring strSub = src.Win(L"R\\sub");
    for (const kvwin32::Call eCall : {kvwin32::Call::FindFirstFileW, kvwin32::Call::FindNextFileW}) {
        host.calls.clear();
        host.AnswerErrors(1);
        const FaultScope fault([&](const kvwin32::FaultContext& ctx, DWORD* pdwError) {
            if (ctx.eCall != eCall || std::wstring(ctx.pszPath) != strSub + L"\\*.*")
                return TRUE;
            *pdwError = ERROR_ACCESS_DENIED;
            return FALSE;
        });
        LogCapture log;
        EXPECT_HR(E_FAIL,
                  k.VerifyBurning(L'T', media.Win(L"Media1.xml").c_str(), host.Callback(), host.User()));
        EXPECT_EQ(std::vector<Call>{Cmd(CRCVERIF_FILEERROR, strSub, 1)}, host.Only(CRCVERIF_FILEERROR));
        EXPECT_TRUE(host.Only(CRCVERIF_END).empty());
        EXPECT_EQ(L"CKorvane::VerifyBurning CheckDirCRC FAILED pNode FullPath = " + strSub + L"\\",
                  log.Messages().back());
    }
}

} // namespace
} // namespace kvtest
