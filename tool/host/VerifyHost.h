// The tool's side of the callback protocol: it answers every call of a
// VerifyBurning run, shows progress and problems, writes the event lines,
// and keeps what the summary needs.
#pragma once

#include "host/ProblemReport.h"
#include "host/ProblemTracker.h"
#include "output/Console.h"
#include "output/EventLog.h"
#include "output/ProgressDisplay.h"

#include <windows.h>

#include <functional>
#include <string>

namespace kvtool {

// What to answer to a problem report (command 3).
// Continue answers skip like Skip, but the run still fails when a problem
// was reported.
enum class EOnError { Ask, Skip, Continue, Fail, Abort };
// "ask", "skip", "continue", "fail", "abort"; false for anything else.
bool ParseOnError(const std::wstring& strText, EOnError& eOnError);
// A reply typed at the prompt: s/skip, f/fail, and a/abort where the
// revision knows abort (1.1); any case, spaces around ignored.
bool ParseReply(const std::string& strReply, int iRevision, DWORD& dwAnswer);

struct CHostOutput {
    CTextSink* pReport = nullptr;                  // problem lines
    CTextSink* pProgress = nullptr;                // progress, prompts
    bool bShowProgress = true;                     // false: prompts only (--quiet)
    bool bBar = false;                             // a bar redrawn in place (a terminal) instead of lines
    int iColumns = 80;                             // the terminal's width, for the bar
    CTextSink* pEvents = nullptr;                  // --events-raw: one JSON line per call, or null
    CEventLog* pEventLog = nullptr;                // --events: the run's records, or null
    std::function<bool(std::string&)> fnReadReply; // the answers to prompts
    FnTargetFor fnTargetFor;                       // the disc path of a reported source
    FnTargetFor fnSourceFor;                       // the other way: the source of a disc path
    long long llListedBeside = 0;                  // files the command judged itself (compare), listed too
    // Whether Ctrl-C was pressed; and, for a library that cannot be stopped
    // at that call (revision 1.0 outside a problem), what ends the run there.
    std::function<bool()> fnInterrupted;
    std::function<void()> fnStopNow;
};

class CVerifyHost {
  public:
    // fnClock gives seconds from any fixed point; the default is a steady clock.
    CVerifyHost(int iRevision, EOnError eOnError, CHostOutput output, std::function<double()> fnClock = {});

    // The CRCVERIFCB to give VerifyBurning, with this object as lpUserParam.
    static DWORD CALLBACK Callback(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3);
    DWORD OnCommand(UINT uiCmd, const wchar_t* pszParam1, DWORD dwParam2);
    // Clears the bar once the run is over.
    void Finish();

    CProblemTracker& Tracker() { return m_tracker; }
    const CProblemTracker& Tracker() const { return m_tracker; }
    int Revision() const { return m_iRevision; }
    bool HasBegun() const { return m_bBegun; }
    DWORD BeginTotal() const { return m_dwBeginTotal; }
    bool HasEnded() const { return m_bEnded; }
    DWORD EndCount() const { return m_dwEndCount; }
    // Revision 1.1: whole MiB read; 1.0: files matched.
    unsigned Done() const { return m_uDone; }
    // File pairs reported, by the status of their line.
    unsigned PairsOfStatus(EProblemStatus eStatus) const { return m_auStatus[static_cast<int>(eStatus)]; }
    // Whether the run was told to stop because of Ctrl-C.
    bool Stopped() const { return m_bStopped; }

  private:
    DWORD AnswerProblem(EProblemKind eKind, const std::wstring& strPath);
    DWORD Ask();
    // The answer that stops the run after Ctrl-C at this call.
    DWORD StopAnswer(UINT uiCmd);
    int m_iRevision;
    EOnError m_eOnError;
    CHostOutput m_output;
    CProblemTracker m_tracker;
    bool m_bBegun = false;
    bool m_bEnded = false;
    DWORD m_dwBeginTotal = 0;
    DWORD m_dwEndCount = 0;
    unsigned m_uDone = 0;
    CProgressDisplay m_progress;
    unsigned m_auStatus[kiProblemStatuses] = {};
    bool m_bStopped = false;
    // The pair whose line this report wrote, for its event once the answer is final.
    bool m_bProblemPending = false;
    CProblemReport m_pendingProblem;
};

} // namespace kvtool
