// Windows file times: 100-nanosecond ticks since 1601-01-01 00:00 UTC.
#include "Internal.h"

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochSeconds = 11644473600LL;
constexpr std::int64_t kSecondsPerDay = 86400;

} // namespace

namespace kvwin32 {
namespace detail {

FILETIME FileTimeFromUnix(std::int64_t llSeconds, long lNanoseconds)
{
    FILETIME ft = {0, 0};
    // Before 1601 there is no file time; clamp rather than wrap.
    if (llSeconds < -kUnixEpochSeconds || lNanoseconds < 0)
        return ft;
    const std::int64_t llMaxSeconds = INT64_MAX / kTicksPerSecond - kUnixEpochSeconds - 1;
    if (llSeconds > llMaxSeconds)
        llSeconds = llMaxSeconds;
    const std::uint64_t qwTicks =
        static_cast<std::uint64_t>(llSeconds + kUnixEpochSeconds) * kTicksPerSecond +
        static_cast<std::uint64_t>(lNanoseconds / 100);
    ft.dwLowDateTime = static_cast<DWORD>(qwTicks);
    ft.dwHighDateTime = static_cast<DWORD>(qwTicks >> 32);
    return ft;
}

} // namespace detail
} // namespace kvwin32

extern "C" BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime)
{
    if (!lpFileTime || !lpSystemTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::uint64_t qwTicks =
        (static_cast<std::uint64_t>(lpFileTime->dwHighDateTime) << 32) | lpFileTime->dwLowDateTime;
    if (qwTicks >= 0x8000000000000000ULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }

    const std::int64_t llSeconds = static_cast<std::int64_t>(qwTicks / kTicksPerSecond);
    const std::int64_t llDays = llSeconds / kSecondsPerDay;
    const std::int64_t llSecondOfDay = llSeconds % kSecondsPerDay;

    // Civil date from a day count (proleptic Gregorian), counted here from
    // 0000-03-01 so that leap days fall at the end of each year.
    const std::int64_t llDaysFrom0300 = llDays + 584694; // 1601-01-01 is day 584694
    const std::int64_t llEra = llDaysFrom0300 / 146097;
    const std::int64_t llDayOfEra = llDaysFrom0300 - llEra * 146097;
    const std::int64_t llYearOfEra =
        (llDayOfEra - llDayOfEra / 1460 + llDayOfEra / 36524 - llDayOfEra / 146096) / 365;
    const std::int64_t llDayOfYear = llDayOfEra - (365 * llYearOfEra + llYearOfEra / 4 - llYearOfEra / 100);
    const std::int64_t llMonthIndex = (5 * llDayOfYear + 2) / 153; // 0 is March
    const std::int64_t llDay = llDayOfYear - (153 * llMonthIndex + 2) / 5 + 1;
    const std::int64_t llMonth = llMonthIndex < 10 ? llMonthIndex + 3 : llMonthIndex - 9;
    const std::int64_t llYear = llYearOfEra + llEra * 400 + (llMonth <= 2 ? 1 : 0);

    lpSystemTime->wYear = static_cast<WORD>(llYear);
    lpSystemTime->wMonth = static_cast<WORD>(llMonth);
    lpSystemTime->wDay = static_cast<WORD>(llDay);
    // 1601-01-01 was a Monday; Sunday is 0.
    lpSystemTime->wDayOfWeek = static_cast<WORD>((llDays + 1) % 7);
    lpSystemTime->wHour = static_cast<WORD>(llSecondOfDay / 3600);
    lpSystemTime->wMinute = static_cast<WORD>(llSecondOfDay / 60 % 60);
    lpSystemTime->wSecond = static_cast<WORD>(llSecondOfDay % 60);
    lpSystemTime->wMilliseconds = static_cast<WORD>(qwTicks / 10000 % 1000);
    return TRUE;
}
