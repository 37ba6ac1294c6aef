#include "host/ProblemReport.h"

#include "host/FileState.h"
#include "host/NativeName.h"

#include <system_error>

namespace kvtool {

namespace {

EProblemStatus StatusOf(EFileState eState, bool bSource)
{
    switch (eState) {
    case EFileState::Absent: return bSource ? EProblemStatus::MissingSource : EProblemStatus::Missing;
    case EFileState::NotAFile: return EProblemStatus::NotAFile;
    default: return EProblemStatus::Unreadable;
    }
}

// Looks at one file of the pair; true when it alone explains the problem.
bool Explains(const std::wstring& strFile, bool bSource, CProblemReport& report)
{
    if (strFile.empty())
        return false;
    std::string strReason;
    const EFileState eState = ExamineFile(NativeFromLibrary(strFile), strReason);
    if (eState == EFileState::Fine)
        return false;
    report.eStatus = StatusOf(eState, bSource);
    if (bSource)
        report.strDetail = "source " + ShownPath(NativeFromLibrary(strFile)) +
                           (eState == EFileState::Absent ? std::string() : ": " + strReason);
    else if (eState != EFileState::Absent)
        report.strDetail = strReason;
    return true;
}

} // namespace

CProblemReport DescribeProblem(EProblemKind eKind, const std::wstring& strReported, const FnTargetFor& fnTargetFor)
{
    CProblemReport report;
    const std::wstring strTarget = fnTargetFor ? fnTargetFor(strReported) : std::wstring();
    // A source's report names the source; a missing disc copy names itself.
    if (!strTarget.empty()) {
        report.strSource = strReported;
        report.strDisc = strTarget;
    } else if (eKind == EProblemKind::Missing) {
        report.strDisc = strReported;
    } else {
        report.strSource = strReported;
    }
    if (Explains(report.strDisc, false, report) || Explains(report.strSource, true, report))
        return report;

    switch (eKind) {
    case EProblemKind::Missing:
        report.eStatus = report.strDisc.empty() || report.strDisc == strReported ? EProblemStatus::Missing
                                                                                 : EProblemStatus::MissingSource;
        break;
    case EProblemKind::SizeDiffers: report.eStatus = EProblemStatus::Size; break;
    default: {
        // Revision 1.0 compares checksums alone, and a report after a command 4
        // may not tell: the sizes settle it.
        std::error_code ecDisc, ecSource;
        const auto ullDisc = std::filesystem::file_size(NativeFromLibrary(report.strDisc), ecDisc);
        const auto ullSource = std::filesystem::file_size(NativeFromLibrary(report.strSource), ecSource);
        report.eStatus = !ecDisc && !ecSource && ullDisc != ullSource ? EProblemStatus::Size : EProblemStatus::Content;
        break;
    }
    }
    return report;
}

std::string ProblemLineFor(const CProblemReport& report)
{
    const std::wstring& strShown = report.strDisc.empty() ? report.strSource : report.strDisc;
    return FormatProblemLine(report.eStatus, ShownPath(NativeFromLibrary(strShown)), report.strDetail);
}

} // namespace kvtool
