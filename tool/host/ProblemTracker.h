// Makes sense of the problem reports (command 3) of a run: what each one is,
// and which reports belong to the same file pair, so that the summary counts
// files with problems rather than reports.
//
// Revision 1.1 reports a size difference and a checksum difference alike
// (dwParam2 0, the source path). A size difference comes before the pair's
// command 4, a checksum difference after it; but a pair that matches also
// sends command 4, so a difference that follows a command 4 may belong to
// the pair after it. The tracker places it when the calls tell (no command 4
// since the last report: a size difference) and otherwise asks a probe that
// compares the two files' sizes; without an answer it says "differs".
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kvtool {

enum class EProblemKind { Missing, SizeDiffers, ChecksumDiffers, Differs };
const int kiProblemKinds = 4;

// "missing", "size differs", "checksum differs", "differs".
const char* ProblemKindText(EProblemKind eKind);

// For a source path: 1 when the pair's sizes differ, 0 when they are equal,
// -1 when it cannot tell.
typedef std::function<int(const std::wstring& strSource)> FnSizeProbe;
// For a source path the library reported: the disc path it was compared
// with (as the library takes it); empty when the path is no known source.
typedef std::function<std::wstring(const std::wstring& strSource)> FnTargetFor;

class CProblemTracker {
  public:
    explicit CProblemTracker(int iRevision) : m_iRevision(iRevision) {}

    void SetSizeProbe(FnSizeProbe fnProbe) { m_fnProbe = std::move(fnProbe); }
    // Tells a source from the disc copy it was compared with, so that a
    // pair whose copy has another name is still one pair; without it, or
    // for a path it does not know, the two paths of a pair end alike.
    void SetTargetLookup(FnTargetFor fnTargetFor) { m_fnTargetFor = std::move(fnTargetFor); }

    void OnBegin();      // command 0: a run starts
    void OnTargetDone(); // command 4 (revision 1.1)
    void OnMatch();      // command 1 of revision 1.0: one pair matched
    // Command 3: classifies the report and files it under its pair.
    EProblemKind OnProblem(const std::wstring& strPath, DWORD dwParam2);

    unsigned Reports() const { return m_uReports; }
    // Pairs with at least one problem, and how many of them by the kind of
    // their first report.
    unsigned ProblemPairs() const { return m_uProblemPairs; }
    unsigned PairsOfKind(EProblemKind eKind) const { return m_auPairsOfKind[static_cast<int>(eKind)]; }
    // File pairs the library compared: revision 1.1 those whose disc copy
    // was read (command 4) plus those stopped by a size difference;
    // revision 1.0 the matching ones plus those with problems.
    unsigned PairsCompared() const;
    // Whether the last report joined the pair of the one before it.
    bool LastJoinedPair() const { return m_bLastJoined; }

  private:
    bool SamePair(const std::wstring& strPath) const;

    int m_iRevision;
    FnSizeProbe m_fnProbe;
    FnTargetFor m_fnTargetFor;
    unsigned m_uReports = 0;
    unsigned m_uProblemPairs = 0;
    unsigned m_auPairsOfKind[kiProblemKinds] = {};
    unsigned m_uTargetDone = 0;
    unsigned m_uMatches = 0;
    unsigned m_uSizePairs = 0;
    // Since the last report (or the start): a command 4 (1.1) or a match (1.0).
    bool m_bPairEventSinceReport = false;
    unsigned m_uTargetDoneSinceReport = 0;
    // The last report was "missing" and so may be followed by more of its pair.
    bool m_bLastOpen = false;
    bool m_bLastJoined = false;
    std::wstring m_strLastPath;
};

// The last component of a Windows or native path.
std::wstring LeafName(const std::wstring& strPath);

} // namespace kvtool
