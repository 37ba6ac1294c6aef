// How one record looks in the file: time, level, indented UTF-8 text.
#include "ZRLogInternal.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace zrlog {

namespace {

const char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& strOut, char32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacement;
    if (cp < 0x80) {
        strOut += static_cast<char>(cp);
    } else if (cp < 0x800) {
        strOut += static_cast<char>(0xC0 | (cp >> 6));
        strOut += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        strOut += static_cast<char>(0xE0 | (cp >> 12));
        strOut += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        strOut += static_cast<char>(0xF0 | (cp >> 18));
        strOut += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        strOut += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// One code point from the text at psz, advancing it: UTF-16 where wchar_t
// has 16 bits (Windows), UTF-32 elsewhere.
char32_t NextCodePoint(const wchar_t*& psz)
{
    char32_t cp = static_cast<char32_t>(*psz++);
    if constexpr (sizeof(wchar_t) == 2) {
        cp &= 0xFFFF;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const char32_t low = static_cast<char32_t>(*psz) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                ++psz;
                return 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            return kReplacement;
        }
    }
    return cp;
}

} // namespace

std::string ToUtf8(const wchar_t* pszText, bool bEscapeLineBreaks)
{
    std::string strOut;
    if (!pszText)
        return strOut;
    while (*pszText) {
        const char32_t cp = NextCodePoint(pszText);
        if (bEscapeLineBreaks && cp == U'\n')
            strOut += "\\n";
        else if (bEscapeLineBreaks && cp == U'\r')
            strOut += "\\r";
        else
            AppendUtf8(strOut, cp);
    }
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
