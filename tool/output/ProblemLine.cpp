#include "output/ProblemLine.h"

#include "output/Results.h"

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

std::string EscapeControls(const std::string& strUtf8)
{
    std::string strOut;
    strOut.reserve(strUtf8.size());
    for (char c : strUtf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
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
        if (u < 0x20 || u == 0x7F) {
            char sz[8];
            std::snprintf(sz, sizeof sz, "\\%03o", u);
            strOut += sz;
        } else {
            strOut += c;
        }
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
