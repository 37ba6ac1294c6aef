#include "output/ProblemLine.h"

#include "output/Results.h"

#include <kvutf/Utf.h>

#include <cstdio>

namespace kvtool {

const char* ProblemStatusText(EProblemStatus eStatus)
{
    switch (eStatus) {
    case EProblemStatus::Missing:
        return "MISSING";
    case EProblemStatus::Size:
        return "SIZE";
    case EProblemStatus::Content:
        return "CONTENT";
    case EProblemStatus::Unreadable:
        return "UNREADABLE";
    case EProblemStatus::NotAFile:
        return "NOT-A-FILE";
    case EProblemStatus::MissingSource:
        return "MISSING-SOURCE";
    default:
        return "EXTRA";
    }
}

namespace {

void AppendOctal(std::string& strOut, unsigned char u)
{
    char sz[8];
    std::snprintf(sz, sizeof sz, "\\%03o", u);
    strOut += sz;
}

} // namespace

std::string EscapeControls(const std::string& strText)
{
    std::string strOut;
    strOut.reserve(strText.size());
    const auto* p = reinterpret_cast<const unsigned char*>(strText.data());
    const auto* const pEnd = p + strText.size();
    while (p < pEnd) {
        const unsigned char u = *p;
        if (u >= 0x80) {
            // A name's bytes that are no UTF-8 stay findable, as `ls -b`
            // shows them; so do C1 controls, which some terminals obey.
            char32_t c = 0;
            const int cb = kvutf::DecodeUtf8(p, static_cast<std::size_t>(pEnd - p), c);
            if (cb == 0 || c < 0xA0) {
                for (int i = 0; i < (cb == 0 ? 1 : cb); ++i)
                    AppendOctal(strOut, p[i]);
                p += cb == 0 ? 1 : cb;
            } else {
                strOut.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(cb));
                p += cb;
            }
            continue;
        }
        ++p;
        switch (u) {
        case '\\':
            strOut += "\\\\";
            continue;
        case '\a':
            strOut += "\\a";
            continue;
        case '\b':
            strOut += "\\b";
            continue;
        case '\t':
            strOut += "\\t";
            continue;
        case '\n':
            strOut += "\\n";
            continue;
        case '\v':
            strOut += "\\v";
            continue;
        case '\f':
            strOut += "\\f";
            continue;
        case '\r':
            strOut += "\\r";
            continue;
        default:
            break;
        }
        if (u < 0x20 || u == 0x7F)
            AppendOctal(strOut, u);
        else
            strOut += static_cast<char>(u);
    }
    return strOut;
}

std::string FormatProblemLine(EProblemStatus eStatus, const std::string& strPathUtf8,
                              const std::string& strDetailUtf8)
{
    std::string strLine = std::string(ProblemStatusText(eStatus)) + "  " + EscapeControls(strPathUtf8);
    if (!strDetailUtf8.empty())
        strLine += "  (" + EscapeControls(strDetailUtf8) + ")";
    return strLine;
}

CVerdict JudgeRun(const CRunFacts& facts)
{
    if (facts.bReaderGone)
        return {EXIT_READER_GONE, "standard output's reader has gone"};
    if (facts.bInterrupted)
        return {EXIT_INTERRUPTED, "interrupted"};
    if (!facts.strWriteError.empty())
        return {EXIT_OTHER, facts.strWriteError};
    if (!facts.strUnreadable.empty())
        return {EXIT_FAILED,
                std::string("the ") + facts.pszList + " could not be read: " + facts.strUnreadable};
    const int iResult = ExitCodeFor(facts.hr);
    const std::string strProblems =
        std::to_string(facts.uProblems) + (facts.uProblems == 1 ? " file has" : " files have") + " a problem";
    if (iResult != EXIT_OK)
        return {iResult, facts.uProblems ? strProblems : "the library returned " + ResultText(facts.hr)};
    if (facts.llEntries == 0 && !facts.uProblems)
        return {EXIT_FAILED, std::string("the ") + facts.pszList + " lists no entries"};
    if (facts.llFilesListed >= 0 &&
        facts.ullFilesChecked < static_cast<unsigned long long>(facts.llFilesListed))
        return {EXIT_FAILED, "only " + std::to_string(facts.ullFilesChecked) + " of the " +
                                 std::to_string(facts.llFilesListed) + " files listed were checked"};
    if (facts.uProblems && !facts.bSkipAccepts)
        return {EXIT_FAILED, strProblems};
    return {EXIT_OK, std::string()};
}

} // namespace kvtool
