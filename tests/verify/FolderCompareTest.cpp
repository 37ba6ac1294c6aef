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
    Both(L"xSystem Volume Informationy\\a.txt", "a");
    Both(L"Top\\System Volume Information\\b.txt", "b");
    Both(L"Top\\c.txt", "c");
    src.Write(L"Top\\System Volume Information\\only-in-source.txt", "x");
    LogCapture log;
    Point(src.Win(L"xSystem Volume Informationy"), disc.Win(L"x") + L"\\");
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    EXPECT_TRUE(Compared(log).empty());
    Point(src.Win(L"Top"), disc.Win(L"Top") + L"\\");
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    const auto compared = Compared(log);
    ASSERT_EQ(1u, compared.size());
    EXPECT_EQ(src.Win(L"Top\\c.txt"), compared[0].first);
}

TEST_F(FolderCompareTest, DeepFileJoinsFoldersWithSingleBackslashes)
{
    Both(L"Root\\one\\two\\three\\deep.bin", std::string(100, '\0'));
    LogCapture log;
    Point(src.Win(L"Root") + L"\\", disc.Win(L"Disc") + L"\\");
    disc.Write(L"Disc\\one\\two\\three\\deep.bin", std::string(100, '\0'));
    EXPECT_HR(S_OK, k.CheckDirCRC(&desc));
    ASSERT_EQ(1u, Compared(log).size());
    EXPECT_EQ(std::make_pair(src.Win(L"Root\\one\\two\\three\\deep.bin"), disc.Win(L"Disc\\one\\two\\three\\deep.bin")),
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
    for (const wchar_t* psz : {L"O\\a1.txt", L"O\\m\\s1.txt", L"O\\m\\s2.txt", L"O\\m\\n\\t1.txt", L"O\\z1.txt"})
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
    EXPECT_EQ(std::vector<std::wstring>{L"CKorvane::CheckDirCRC(FDesc *pFDesc) pFDesc = NULL !"}, log.Messages());
}

// A folder that cannot be listed is reported like a missing source instead of
// passing as an empty one.
TEST_F(FolderCompareTest, UnlistableFolderWithoutCallbackFails)
{
    LogCapture log;
    Point(src.Win(L"Gone"), disc.Win(L"Gone") + L"\\");
    EXPECT_HR(E_FAIL, k.CheckDirCRC(&desc));
    EXPECT_EQ(std::vector<std::wstring>{L"CKorvane::CheckDirCRC(FDesc *pFDesc) ERROR folder " + src.Win(L"Gone") +
                                        L" cannot be listed"},
              log.Messages());
}

TEST_F(FolderCompareTest, UnlistableFolderAnswers)
{
    struct Case {
        DWORD dwAnswer;
        HRESULT hrExpected;
    };
    const Case cases[] = {{0, S_OK},
                          {1, E_FAIL},
#if KORVANE_REVISION >= 11
                          {2, E_ABORT}
#else
                          {2, S_OK} // revision 1.0 has no abort: 2 skips
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

} // namespace
} // namespace kvtest
