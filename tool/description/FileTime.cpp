#include "description/FileTime.h"

#include <cstdio>
#include <ctime>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace kvtool {

namespace {

std::wstring Iso8601(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond)
{
    wchar_t sz[32];
    std::swprintf(sz, sizeof sz / sizeof sz[0], L"%04d-%02d-%02dT%02d:%02d:%02dZ", iYear, iMonth, iDay, iHour,
                  iMinute, iSecond);
    return sz;
}

} // namespace

#if defined(_WIN32)
std::wstring WriteTimeText(const std::filesystem::path& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    SYSTEMTIME st;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &st))
        return std::wstring();
    return Iso8601(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

std::wstring WriteTimeText(const std::filesystem::path& path, std::uintmax_t& ullSize)
{
    std::error_code ec;
    ullSize = std::filesystem::file_size(path, ec);
    return WriteTimeText(path);
}
#else
namespace {

std::wstring WriteTimeOf(const struct stat& st)
{
    struct tm tmUtc;
    if (!gmtime_r(&st.st_mtime, &tmUtc))
        return std::wstring();
    return Iso8601(tmUtc.tm_year + 1900, tmUtc.tm_mon + 1, tmUtc.tm_mday, tmUtc.tm_hour, tmUtc.tm_min,
                   tmUtc.tm_sec);
}

} // namespace

std::wstring WriteTimeText(const std::filesystem::path& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return std::wstring();
    return WriteTimeOf(st);
}

std::wstring WriteTimeText(const std::filesystem::path& path, std::uintmax_t& ullSize)
{
    struct stat st;
    ullSize = static_cast<std::uintmax_t>(-1);
    if (stat(path.c_str(), &st) != 0)
        return std::wstring();
    return WriteTimeText(st, ullSize);
}

std::wstring WriteTimeText(const struct stat& st, std::uintmax_t& ullSize)
{
    // file_size answers for regular files only.
    ullSize = S_ISREG(st.st_mode) ? static_cast<std::uintmax_t>(st.st_size) : static_cast<std::uintmax_t>(-1);
    return WriteTimeOf(st);
}
#endif

} // namespace kvtool
