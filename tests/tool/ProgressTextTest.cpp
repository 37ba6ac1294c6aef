// The progress bar and lines.
#include "output/ProgressText.h"

#include <gtest/gtest.h>

using namespace kvtool;

TEST(ToolProgress, BarShowsShareRateAndTimeLeft)
{
    CProgressSnapshot snap{10, 40, false, 2.0};
    EXPECT_EQ("[######------------------]  10/40 MiB   25%  5.0 MiB/s  0:06 left", FormatProgressBar(snap));
}

TEST(ToolProgress, BarOfFilesForRevision10)
{
    CProgressSnapshot snap{3, 4, true, 1.5};
    EXPECT_EQ("[##################------]  3/4 files   75%  2.0 files/s  0:01 left", FormatProgressBar(snap));
}

TEST(ToolProgress, BarStopsAtFullWhenDoneExceedsTotal)
{
    // A folder entry can match more files than the description counts.
    CProgressSnapshot snap{7, 5, true, 1.0};
    EXPECT_EQ("[########################]  7/5 files  100%  7.0 files/s", FormatProgressBar(snap));
}

TEST(ToolProgress, BarWithoutTotalOrTime)
{
    EXPECT_EQ("[------------------------]  3 MiB", FormatProgressBar({3, 0, false, 0.0}));
    // Nothing read yet: no rate, so no time left either.
    EXPECT_EQ("[------------------------]  0/8 MiB    0%  0.0 MiB/s", FormatProgressBar({0, 8, false, 1.0}));
    EXPECT_EQ("[####]  4/4 MiB  100%", FormatProgressBar({4, 4, false, 0.01}, 4));
}

TEST(ToolProgress, PlainLines)
{
    EXPECT_EQ("progress: 12 of 40 MiB", FormatProgressLine({12, 40, false, 1.0}));
    EXPECT_EQ("progress: 2 of 9 files", FormatProgressLine({2, 9, true, 1.0}));
    EXPECT_EQ("progress: 2 MiB", FormatProgressLine({2, 0, false, 1.0}));
    EXPECT_EQ("begin: 40 MiB to read", FormatBeginLine(40, false));
    EXPECT_EQ("begin: 9 files to check", FormatBeginLine(9, true));
}

TEST(ToolProgress, Durations)
{
    struct {
        double dSeconds;
        const char* pszText;
    } cases[] = {{0, "0:00"},       {0.4, "0:00"}, {59.6, "1:00"},       {754, "12:34"},
                 {3723, "1:02:03"}, {-5, "0:00"},  {360000, "100:00:00"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.pszText, FormatDuration(c.dSeconds)) << c.dSeconds;
}
