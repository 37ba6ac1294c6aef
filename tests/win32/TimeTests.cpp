// FileTimeToSystemTime against dates worked out independently.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

FILETIME Ft(ULONGLONG qw)
{
    return {static_cast<DWORD>(qw), static_cast<DWORD>(qw >> 32)};
}

struct TimeCase {
    ULONGLONG qwTicks;
    WORD wYear, wMonth, wDay, wDayOfWeek, wHour, wMinute, wSecond, wMilliseconds;
};

TEST(Time, KnownDates)
{
    const TimeCase cases[] = {
        {0ULL, 1601, 1, 1, 1, 0, 0, 0, 0},    // the epoch, a Monday
        {9999ULL, 1601, 1, 1, 1, 0, 0, 0, 0}, // below a millisecond
        {864000000000ULL - 1, 1601, 1, 1, 1, 23, 59, 59, 999},
        {94405824000000000ULL, 1900, 3, 1, 4, 0, 0, 0, 0}, // 1900 had no 29 February
        {116444736000000000ULL, 1970, 1, 1, 4, 0, 0, 0, 0},
        {125963424000000000ULL, 2000, 3, 1, 3, 0, 0, 0, 0}, // 2000 had one
        {133536836967890000ULL, 2024, 2, 29, 4, 12, 34, 56, 789},
        {157520159999990000ULL, 2100, 2, 28, 0, 23, 59, 59, 999},
        {0x7FFFFFFFFFFFFFFFULL, 30828, 9, 14, 4, 2, 48, 5, 477}, // the last time there is
    };
    for (const TimeCase& c : cases) {
        const FILETIME ft = Ft(c.qwTicks);
        SYSTEMTIME st;
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &st)) << c.qwTicks;
        EXPECT_EQ(c.wYear, st.wYear) << c.qwTicks;
        EXPECT_EQ(c.wMonth, st.wMonth) << c.qwTicks;
        EXPECT_EQ(c.wDay, st.wDay) << c.qwTicks;
        EXPECT_EQ(c.wDayOfWeek, st.wDayOfWeek) << c.qwTicks;
        EXPECT_EQ(c.wHour, st.wHour) << c.qwTicks;
        EXPECT_EQ(c.wMinute, st.wMinute) << c.qwTicks;
        EXPECT_EQ(c.wSecond, st.wSecond) << c.qwTicks;
        EXPECT_EQ(c.wMilliseconds, st.wMilliseconds) << c.qwTicks;
    }
}

TEST(Time, EveryDayOfALeapYearFollowsTheLast)
{
    // Day by day through 2024: dates advance by one, weekdays cycle.
    SYSTEMTIME prev;
    FILETIME ft = Ft(133485408000000000ULL); // 2024-01-01, a Monday
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &prev));
    EXPECT_EQ(1, prev.wDayOfWeek);
    const WORD daysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int i = 1; i <= 366; ++i) {
        ft = Ft(133485408000000000ULL + static_cast<ULONGLONG>(i) * 864000000000ULL);
        SYSTEMTIME st;
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
        EXPECT_EQ((prev.wDayOfWeek + 1) % 7, st.wDayOfWeek);
        if (prev.wDay == daysIn[prev.wMonth - 1]) {
            EXPECT_EQ(1, st.wDay);
            EXPECT_EQ(prev.wMonth % 12 + 1, st.wMonth);
        } else {
            EXPECT_EQ(prev.wDay + 1, st.wDay);
            EXPECT_EQ(prev.wMonth, st.wMonth);
        }
        prev = st;
    }
    EXPECT_EQ(2025, prev.wYear);
    EXPECT_EQ(1, prev.wMonth);
    EXPECT_EQ(1, prev.wDay);
}

TEST(Time, OutOfRangeIsRefused)
{
    for (ULONGLONG qw : {0x8000000000000000ULL, 0xFFFFFFFFFFFFFFFFULL}) {
        const FILETIME ft = Ft(qw);
        SYSTEMTIME st = {};
        SetLastError(0);
        EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
        EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    }
}

} // namespace
