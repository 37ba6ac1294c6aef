#include "host/ProblemTracker.h"

#include <Korvane.h>

#include <cwctype>

namespace kvtool {

const char* ProblemKindText(EProblemKind eKind)
{
    switch (eKind) {
    case EProblemKind::Missing:
        return "missing";
    case EProblemKind::SizeDiffers:
        return "size differs";
    case EProblemKind::ChecksumDiffers:
        return "checksum differs";
    default:
        return "differs";
    }
}

std::wstring LeafName(const std::wstring& strPath)
{
    size_t iSep = strPath.find_last_of(L"\\/");
    return iSep == std::wstring::npos ? strPath : strPath.substr(iSep + 1);
}

namespace {

bool SameNoCase(const std::wstring& strA, const std::wstring& strB)
{
    if (strA.size() != strB.size())
        return false;
    for (size_t i = 0; i < strA.size(); ++i)
        if (std::towlower(strA[i]) != std::towlower(strB[i]))
            return false;
    return true;
}

} // namespace

void CProblemTracker::OnBegin()
{
    m_bPairEventSinceReport = false;
    m_uTargetDoneSinceReport = 0;
    m_bLastOpen = false;
    m_strLastPath.clear();
}

void CProblemTracker::OnTargetDone()
{
    ++m_uTargetDone;
    ++m_uTargetDoneSinceReport;
    m_bPairEventSinceReport = true;
}

void CProblemTracker::OnMatch()
{
    ++m_uMatches;
    m_bPairEventSinceReport = true;
}

EProblemKind CProblemTracker::OnProblem(const std::wstring& strPath, DWORD dwParam2)
{
    EProblemKind eKind;
    if (dwParam2 == CRCVERIF_ERROR_MISSING) {
        eKind = EProblemKind::Missing;
    } else if (m_iRevision < 11) {
        eKind = EProblemKind::ChecksumDiffers; // 1.0 judges a pair by its checksums alone
    } else if (!m_bPairEventSinceReport) {
        // Whatever pair this is, its command 4 has not come yet.
        eKind = EProblemKind::SizeDiffers;
    } else {
        int iProbe = m_fnProbe ? m_fnProbe(strPath) : -1;
        eKind = iProbe > 0    ? EProblemKind::SizeDiffers
                : iProbe == 0 ? EProblemKind::ChecksumDiffers
                              : EProblemKind::Differs;
    }

    // A missing disc copy is followed by the source's own reports (1.1: the
    // sizes then differ; 1.0: a missing source is followed by the target's);
    // the two paths of a pair end in the same name.
    // A pair whose disc copy is missing and whose source is empty gets past
    // its command 4 with more reports to come: one command 4 may lie between.
    bool bNoOtherPair = m_iRevision < 11 ? !m_bPairEventSinceReport : m_uTargetDoneSinceReport <= 1;
    m_bLastJoined = m_bLastOpen && bNoOtherPair && SamePair(strPath);
    if (!m_bLastJoined) {
        ++m_uProblemPairs;
        ++m_auPairsOfKind[static_cast<int>(eKind)];
    }
    if (eKind == EProblemKind::SizeDiffers)
        ++m_uSizePairs;

    ++m_uReports;
    m_bLastOpen = eKind == EProblemKind::Missing;
    m_bPairEventSinceReport = false;
    m_uTargetDoneSinceReport = 0;
    m_strLastPath = strPath;
    return eKind;
}

// Whether strPath and the last report's path are one pair's: the same file
// again, or a disc copy and its source in either order.
bool CProblemTracker::SamePair(const std::wstring& strPath) const
{
    if (SameNoCase(strPath, m_strLastPath))
        return true;
    if (m_fnTargetFor) {
        const std::wstring strTarget = m_fnTargetFor(strPath);
        if (!strTarget.empty())
            return SameNoCase(strTarget, m_strLastPath);
        const std::wstring strLastTarget = m_fnTargetFor(m_strLastPath);
        if (!strLastTarget.empty())
            return SameNoCase(strLastTarget, strPath);
    }
    return SameNoCase(LeafName(strPath), LeafName(m_strLastPath));
}

unsigned CProblemTracker::PairsCompared() const
{
    if (m_iRevision < 11)
        return m_uMatches + m_uProblemPairs;
    return m_uTargetDone + m_uSizePairs;
}

} // namespace kvtool
