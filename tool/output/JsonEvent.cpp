#include "output/JsonEvent.h"

#include "output/Text.h"

#include <Korvane.h>

#include <cstdio>

namespace kvtool {

namespace {

void AppendEscape(std::string& strOut, unsigned uCode)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "\\u%04x", uCode & 0xFFFFu);
    strOut += sz;
}

} // namespace

std::string JsonString(const std::wstring& strText)
{
    std::string strOut = "\"";
    size_t iPlainStart = 0;
    // Runs of ordinary characters go through the UTF-8 conversion in one piece.
    auto flush = [&](size_t iEnd) {
        if (iEnd > iPlainStart)
            strOut += Utf8FromWide(strText.substr(iPlainStart, iEnd - iPlainStart));
    };
    for (size_t i = 0; i < strText.size(); ++i) {
        unsigned uCode = static_cast<unsigned>(strText[i]);
        if (sizeof(wchar_t) == 2)
            uCode &= 0xFFFF;
        const char* pszEscape = nullptr;
        switch (uCode) {
        case '"':
            pszEscape = "\\\"";
            break;
        case '\\':
            pszEscape = "\\\\";
            break;
        case '\b':
            pszEscape = "\\b";
            break;
        case '\f':
            pszEscape = "\\f";
            break;
        case '\n':
            pszEscape = "\\n";
            break;
        case '\r':
            pszEscape = "\\r";
            break;
        case '\t':
            pszEscape = "\\t";
            break;
        default:
            break;
        }
        bool bLoneSurrogate = false;
        if (uCode >= 0xD800 && uCode < 0xE000) {
            unsigned uNext = i + 1 < strText.size() ? static_cast<unsigned>(strText[i + 1]) & 0xFFFF : 0;
            if (sizeof(wchar_t) == 2 && uCode < 0xDC00 && uNext >= 0xDC00 && uNext < 0xE000) {
                ++i; // a pair: both halves stay in the run
                continue;
            }
            bLoneSurrogate = true;
        }
        if (pszEscape || uCode < 0x20 || bLoneSurrogate || uCode > 0x10FFFF) {
            flush(i);
            if (pszEscape)
                strOut += pszEscape;
            else
                // One rule for text that is no Unicode: U+FFFD.
                AppendEscape(strOut, bLoneSurrogate || uCode > 0x10FFFF ? 0xFFFD : uCode);
            iPlainStart = i + 1;
        }
    }
    flush(strText.size());
    strOut += '"';
    return strOut;
}

const char* CommandName(UINT uiCmd)
{
    switch (uiCmd) {
    case CRCVERIF_BEGIN:
        return "CRCVERIF_BEGIN";
    case CRCVERIF_PROGRESS:
        return "CRCVERIF_PROGRESS";
    case CRCVERIF_END:
        return "CRCVERIF_END";
    case CRCVERIF_FILEERROR:
        return "CRCVERIF_FILEERROR";
    case CRCVERIF_TARGETDONE:
        return "CRCVERIF_TARGETDONE";
    default:
        return "CRCVERIF_UNKNOWN";
    }
}

std::string FormatEventLine(UINT uiCmd, const wchar_t* pszParam1, DWORD dwParam2, DWORD dwAnswer)
{
    std::string strLine =
        "{\"cmd\":" + std::to_string(uiCmd) + ",\"name\":\"" + CommandName(uiCmd) + "\",\"param1\":";
    strLine += pszParam1 ? JsonString(pszParam1) : std::string("null");
    strLine += ",\"param2\":" + std::to_string(dwParam2) + ",\"answer\":" + std::to_string(dwAnswer) + "}";
    return strLine;
}

} // namespace kvtool
