// Placing problem reports: size or checksum, and which reports are one pair.
#include "host/ProblemTracker.h"

#include <Korvane.h>

#include <gtest/gtest.h>

using namespace kvtool;

namespace {

const DWORD kMissing = CRCVERIF_ERROR_MISSING;
const DWORD kDiffers = CRCVERIF_ERROR_DIFFERS;

// A probe that answers iAnswer and counts its calls.
struct CProbe {
    explicit CProbe(int iAnswerIn) : iAnswer(iAnswerIn) {}
    int iAnswer;
    int iCalls = 0;
    std::wstring strLast;
};

void Attach(CProblemTracker& tracker, CProbe& probe)
{
    tracker.SetSizeProbe([&probe](const std::wstring& strSource) {
        ++probe.iCalls;
        probe.strLast = strSource;
        return probe.iAnswer;
    });
}

} // namespace

TEST(ToolTracker, DifferenceBeforeAnyCommand4IsASize)
{
    CProblemTracker tracker(11);
    CProbe probe(0);
    Attach(tracker, probe);
    tracker.OnBegin();
    EXPECT_EQ(EProblemKind::SizeDiffers, tracker.OnProblem(L"/src\\a.txt", kDiffers));
    EXPECT_EQ(0, probe.iCalls); // the calls alone tell
}

TEST(ToolTracker, DifferenceAfterCommand4AsksTheProbe)
{
    struct {
        int iProbe;
        EProblemKind eKind;
    } cases[] = {
        {0, EProblemKind::ChecksumDiffers}, {1, EProblemKind::SizeDiffers}, {-1, EProblemKind::Differs}};
    for (const auto& c : cases) {
        CProblemTracker tracker(11);
        CProbe probe(c.iProbe);
        Attach(tracker, probe);
        tracker.OnBegin();
        tracker.OnTargetDone();
        EXPECT_EQ(c.eKind, tracker.OnProblem(L"/src\\a.txt", kDiffers));
        EXPECT_EQ(1, probe.iCalls);
        EXPECT_EQ(L"/src\\a.txt", probe.strLast);
    }
}

TEST(ToolTracker, WithoutProbeAnUnplacedDifferenceIsJustDifferent)
{
    CProblemTracker tracker(11);
    tracker.OnBegin();
    tracker.OnTargetDone();
    EXPECT_EQ(EProblemKind::Differs, tracker.OnProblem(L"/src\\a.txt", kDiffers));
    EXPECT_STREQ("differs", ProblemKindText(EProblemKind::Differs));
}

TEST(ToolTracker, Command4BeforeAReportBelongsToAnEarlierPair)
{
    // Pair A matches (command 4); pair B's disc copy is missing, then its sizes differ.
    CProblemTracker tracker(11);
    CProbe probe(0);
    Attach(tracker, probe);
    tracker.OnBegin();
    tracker.OnTargetDone();
    EXPECT_EQ(EProblemKind::Missing, tracker.OnProblem(L"E:\\b.txt", kMissing));
    EXPECT_EQ(EProblemKind::SizeDiffers, tracker.OnProblem(L"/src\\b.txt", kDiffers));
    EXPECT_EQ(0, probe.iCalls);
    EXPECT_EQ(2u, tracker.PairsCompared()); // A read, B stopped by its sizes
}

TEST(ToolTracker, MissingDiscCopyAndItsSizeReportAreOnePair)
{
    CProblemTracker tracker(11);
    tracker.OnBegin();
    tracker.OnProblem(L"E:\\a.txt", kMissing);
    EXPECT_FALSE(tracker.LastJoinedPair());
    tracker.OnProblem(L"/src\\A.TXT", kDiffers); // names compare in any case
    EXPECT_TRUE(tracker.LastJoinedPair());
    tracker.OnProblem(L"E:\\b.txt", kMissing);
    EXPECT_FALSE(tracker.LastJoinedPair());
    tracker.OnProblem(L"/src\\b.txt", kDiffers);
    EXPECT_EQ(4u, tracker.Reports());
    EXPECT_EQ(2u, tracker.ProblemPairs());
    EXPECT_EQ(2u, tracker.PairsOfKind(EProblemKind::Missing));
    EXPECT_EQ(0u, tracker.PairsOfKind(EProblemKind::SizeDiffers));
}

TEST(ToolTracker, SameNameAfterAClosedPairIsANewPair)
{
    CProblemTracker tracker(11);
    tracker.OnBegin();
    tracker.OnProblem(L"E:\\x\\index.html", kMissing);
    tracker.OnProblem(L"/src\\x\\index.html", kDiffers); // ends pair x
    tracker.OnTargetDone();                              // a matching pair
    tracker.OnProblem(L"E:\\y\\index.html", kMissing);
    EXPECT_FALSE(tracker.LastJoinedPair());
    EXPECT_EQ(2u, tracker.ProblemPairs());
}

TEST(ToolTracker, EmptySourceWithMissingDiscCopyStaysOnePairAcrossItsCommand4)
{
    // Sizes 0 and 0 agree, so the pair reaches its checksums: the disc copy
    // is reported again, command 4 follows, then the checksums differ.
    CProblemTracker tracker(11);
    tracker.OnBegin();
    tracker.OnProblem(L"E:\\e.txt", kMissing);
    tracker.OnProblem(L"E:\\e.txt", kMissing);
    tracker.OnTargetDone();
    tracker.OnProblem(L"/src\\e.txt", kDiffers);
    EXPECT_TRUE(tracker.LastJoinedPair());
    EXPECT_EQ(1u, tracker.ProblemPairs());
    EXPECT_EQ(3u, tracker.Reports());
}

TEST(ToolTracker, TwoCommand4sSeparatePairs)
{
    CProblemTracker tracker(11);
    tracker.OnBegin();
    tracker.OnProblem(L"E:\\e.txt", kMissing);
    tracker.OnTargetDone();
    tracker.OnTargetDone();
    tracker.OnProblem(L"E:\\e.txt", kMissing);
    EXPECT_FALSE(tracker.LastJoinedPair());
}

TEST(ToolTracker, PairsComparedRevision11)
{
    CProblemTracker tracker(11);
    CProbe probe(0);
    Attach(tracker, probe);
    tracker.OnBegin();
    tracker.OnTargetDone();
    tracker.OnTargetDone();
    tracker.OnTargetDone();
    EXPECT_EQ(EProblemKind::ChecksumDiffers, tracker.OnProblem(L"/src\\c.txt", kDiffers));
    EXPECT_EQ(3u, tracker.PairsCompared()); // the differing pair had its command 4
    EXPECT_EQ(1u, tracker.PairsOfKind(EProblemKind::ChecksumDiffers));
}

TEST(ToolTracker, Revision10DifferenceIsAlwaysAChecksum)
{
    CProblemTracker tracker(10);
    CProbe probe(1);
    Attach(tracker, probe);
    tracker.OnBegin();
    EXPECT_EQ(EProblemKind::ChecksumDiffers, tracker.OnProblem(L"/src\\a.txt", kDiffers));
    tracker.OnMatch();
    EXPECT_EQ(EProblemKind::ChecksumDiffers, tracker.OnProblem(L"/src\\b.txt", kDiffers));
    EXPECT_EQ(0, probe.iCalls);
}

TEST(ToolTracker, Revision10MissingSourceThenTargetIsOnePair)
{
    CProblemTracker tracker(10);
    tracker.OnBegin();
    tracker.OnProblem(L"/src\\a.txt", kMissing);
    tracker.OnProblem(L"E:\\a.txt", kMissing);
    EXPECT_TRUE(tracker.LastJoinedPair());
    tracker.OnMatch();
    tracker.OnMatch();
    EXPECT_EQ(1u, tracker.ProblemPairs());
    EXPECT_EQ(3u, tracker.PairsCompared()); // two matches and the missing one
}

TEST(ToolTracker, Revision10MatchBetweenReportsSeparatesPairs)
{
    CProblemTracker tracker(10);
    tracker.OnBegin();
    tracker.OnProblem(L"E:\\x\\a.txt", kMissing);
    tracker.OnMatch();
    tracker.OnProblem(L"E:\\y\\a.txt", kMissing);
    EXPECT_FALSE(tracker.LastJoinedPair());
    EXPECT_EQ(2u, tracker.ProblemPairs());
}

TEST(ToolTracker, BeginForgetsThePreviousRun)
{
    CProblemTracker tracker(11);
    tracker.OnBegin();
    tracker.OnTargetDone();
    tracker.OnProblem(L"E:\\a.txt", kMissing);
    tracker.OnBegin();
    tracker.OnProblem(L"/src\\a.txt", kDiffers);
    EXPECT_FALSE(tracker.LastJoinedPair());
}

TEST(ToolTracker, LeafNames)
{
    EXPECT_EQ(L"c.txt", LeafName(L"E:\\a\\b\\c.txt"));
    EXPECT_EQ(L"c.txt", LeafName(L"/src/a\\c.txt"));
    EXPECT_EQ(L"plain", LeafName(L"plain"));
    EXPECT_EQ(L"", LeafName(L"E:\\dir\\"));
}

// A description may burn a source under another name: the lookup joins the
// pair's reports where the names differ, and parts pairs whose names agree.
TEST(ToolTracker, TargetLookupDecidesWhichReportsAreOnePair)
{
    const auto fnTargetFor = [](const std::wstring& strSource) {
        if (strSource == L"/src\\a.txt")
            return std::wstring(L"E:\\b.txt");
        if (strSource == L"/src\\x\\index.html")
            return std::wstring(L"E:\\x\\index.html");
        return std::wstring();
    };
    struct {
        int iRevision;
        const wchar_t* pszFirst; // reported missing
        const wchar_t* pszSecond;
        DWORD dwSecond;
        bool bJoined;
    } cases[] = {
        {11, L"E:\\b.txt", L"/src\\a.txt", kDiffers, true},                  // renamed copy, then its sizes
        {11, L"E:\\y\\index.html", L"/src\\x\\index.html", kDiffers, false}, // same name, other pair
        {11, L"E:\\c.txt", L"/src\\c.txt", kDiffers, true},                  // unknown source: by name
        {10, L"/src\\a.txt", L"E:\\b.txt", kMissing, true},                  // 1.0: the source first
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.iRevision << " " << c.pszSecond);
        CProblemTracker tracker(c.iRevision);
        tracker.SetTargetLookup(fnTargetFor);
        tracker.OnBegin();
        tracker.OnProblem(c.pszFirst, kMissing);
        tracker.OnProblem(c.pszSecond, c.dwSecond);
        EXPECT_EQ(c.bJoined, tracker.LastJoinedPair());
        EXPECT_EQ(c.bJoined ? 1u : 2u, tracker.ProblemPairs());
    }
}
