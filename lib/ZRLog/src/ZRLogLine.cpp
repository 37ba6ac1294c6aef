// How one record looks in the file: time, level, indented UTF-8 text.
#include "ZRLogInternal.h"

#include <kvutf/Utf.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace zrlog {

std::string ToUtf8(const wchar_t* pszText, bool bEscapeLineBreaks)
{
    std::string strOut;
    if (!pszText)
        return strOut;
    const wchar_t* const pEnd = pszText + std::char_traits<wchar_t>::length(pszText);
    if (!bEscapeLineBreaks) {
        kvutf::AppendWideAsUtf8(strOut, pszText, static_cast<std::size_t>(pEnd - pszText));
        return strOut;
    }
    // A record stays on one line whatever its text holds.
    const wchar_t* pRun = pszText;
    for (const wchar_t* p = pszText; p < pEnd; ++p) {
        if (*p != L'\n' && *p != L'\r')
            continue;
        kvutf::AppendWideAsUtf8(strOut, pRun, static_cast<std::size_t>(p - pRun));
        strOut += *p == L'\n' ? "\\n" : "\\r";
        pRun = p + 1;
    }
    kvutf::AppendWideAsUtf8(strOut, pRun, static_cast<std::size_t>(pEnd - pRun));
    return strOut;
}

const char* LevelName(ZRLogLevel eLevel)
{
    switch (eLevel) {
    case ZRLOG_ENTER:
        return "ENTER";
    case ZRLOG_EXIT:
        return "EXIT";
    case ZRLOG_ERROR:
        return "ERROR";
    case ZRLOG_INFO:
        return "INFO";
    }
    return "INFO";
}

std::string LocalTimeStamp()
{
    using namespace std::chrono;
    const system_clock::time_point now = system_clock::now();
    const std::time_t tNow = system_clock::to_time_t(now);
    const long long llMs = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tmLocal{};
#if defined(_WIN32)
    localtime_s(&tmLocal, &tNow);
#else
    localtime_r(&tNow, &tmLocal);
#endif
    char szStamp[80]; // room for any int the fields could hold
    std::snprintf(szStamp, sizeof szStamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tmLocal.tm_year + 1900,
                  tmLocal.tm_mon + 1, tmLocal.tm_mday, tmLocal.tm_hour, tmLocal.tm_min, tmLocal.tm_sec,
                  static_cast<int>(llMs < 0 ? llMs + 1000 : llMs));
    return szStamp;
}

std::string FormatRecordLine(ZRLogLevel eLevel, int iDepth, const wchar_t* pszText)
{
    std::string strLine = LocalTimeStamp();
    strLine += '\t';
    strLine += LevelName(eLevel);
    strLine += '\t';
    if (iDepth > 0)
        strLine.append(static_cast<size_t>(iDepth) * 2, ' ');
    strLine += ToUtf8(pszText, true);
    strLine += '\n';
    return strLine;
}

} // namespace zrlog
