#include "host/VerifyHost.h"

#include "host/NativeName.h"
#include "host/ProblemEvent.h"
#include "output/JsonEvent.h"
#include "output/Text.h"

#include <Korvane.h>

#include <cctype>
#include <cwchar>
#include <exception>

namespace kvtool {

bool ParseOnError(const std::wstring& strText, EOnError& eOnError)
{
    if (strText == L"ask")
        eOnError = EOnError::Ask;
    else if (strText == L"skip")
        eOnError = EOnError::Skip;
    else if (strText == L"continue")
        eOnError = EOnError::Continue;
    else if (strText == L"fail")
        eOnError = EOnError::Fail;
    else if (strText == L"abort")
        eOnError = EOnError::Abort;
    else
        return false;
    return true;
}

bool ParseReply(const std::string& strReply, int iRevision, DWORD& dwAnswer)
{
    std::string strWord;
    for (char c : strReply)
        if (!std::isspace(static_cast<unsigned char>(c)))
            strWord += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (strWord == "s" || strWord == "skip") {
        dwAnswer = CRCVERIF_ANSWER_SKIP;
        return true;
    }
    if (strWord == "f" || strWord == "fail") {
        dwAnswer = CRCVERIF_ANSWER_FAIL;
        return true;
    }
    // Revision 1.0 takes 2 as a skip: offering it as an abort would mislead.
    if (iRevision >= 11 && (strWord == "a" || strWord == "abort")) {
        dwAnswer = CRCVERIF_ANSWER_ABORT;
        return true;
    }
    return false;
}

CVerifyHost::CVerifyHost(int iRevision, EOnError eOnError, CHostOutput output,
                         std::function<double()> fnClock)
    : m_iRevision(iRevision), m_eOnError(eOnError), m_output(std::move(output)), m_tracker(iRevision),
      m_progress(m_output.pProgress, m_output.bShowProgress, m_output.bBar, m_output.iColumns,
                 std::move(fnClock))
{
}

DWORD CALLBACK CVerifyHost::Callback(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3)
{
    return static_cast<CVerifyHost*>(pParam3)->OnCommand(uiCmd, static_cast<const wchar_t*>(pParam1),
                                                         dwParam2);
}

DWORD CVerifyHost::OnCommand(UINT uiCmd, const wchar_t* pszParam1, DWORD dwParam2)
{
    // The report buffer holds MAX_PATH characters; never read past it.
    std::wstring strParam1 =
        pszParam1 ? std::wstring(pszParam1, wcsnlen(pszParam1, MAX_PATH)) : std::wstring();
    DWORD dwAnswer = 0;
    switch (uiCmd) {
    case CRCVERIF_BEGIN:
        m_bBegun = true;
        m_dwBeginTotal = dwParam2;
        m_uDone = 0;
        m_tracker.OnBegin();
        m_progress.Begin(dwParam2, m_iRevision < 11);
        break;
    case CRCVERIF_PROGRESS:
        if (m_iRevision < 11) {
            ++m_uDone; // one report per matching file, each carrying the file count
            m_tracker.OnMatch();
        } else {
            m_uDone = dwParam2;
        }
        m_progress.Update(m_uDone);
        if (m_output.pEventLog)
            m_output.pEventLog->Progress(m_uDone, m_dwBeginTotal, m_iRevision < 11);
        break;
    case CRCVERIF_END:
        m_bEnded = true;
        m_dwEndCount = dwParam2;
        m_progress.End();
        {
            const long long llListed = dwParam2 + m_output.llListedBeside;
            if (m_progress.Lines())
                m_output.pProgress->Write("end: " + std::to_string(llListed) +
                                          (llListed == 1 ? " file listed\n" : " files listed\n"));
            if (m_output.pEventLog)
                m_output.pEventLog->End(llListed);
        }
        break;
    case CRCVERIF_FILEERROR: {
        const std::wstring strPath = MayBeCut(strParam1) ? CompleteCutPath(strParam1) : strParam1;
        dwAnswer = AnswerProblem(m_tracker.OnProblem(strPath, dwParam2), strPath);
        break;
    }
    case CRCVERIF_TARGETDONE:
        m_tracker.OnTargetDone();
        break;
    default:
        break;
    }
    if (m_output.fnInterrupted && m_output.fnInterrupted())
        dwAnswer = StopAnswer(uiCmd);
    if (m_bProblemPending) {
        m_bProblemPending = false;
        if (m_output.pEventLog)
            m_output.pEventLog->Problem(ProblemEventFor(m_pendingProblem, AnswerName(dwAnswer, m_iRevision)));
    }
    if (m_output.pEvents)
        m_output.pEvents->Write(
            FormatEventLine(uiCmd, pszParam1 ? strParam1.c_str() : nullptr, dwParam2, dwAnswer) + "\n");
    return dwAnswer;
}

DWORD CVerifyHost::StopAnswer(UINT uiCmd)
{
    m_bStopped = true;
    if (m_iRevision >= 11 && uiCmd != CRCVERIF_BEGIN && uiCmd != CRCVERIF_END)
        return CRCVERIF_ANSWER_ABORT;
    if (m_iRevision < 11 && uiCmd == CRCVERIF_FILEERROR)
        return CRCVERIF_ANSWER_FAIL;
    // This call's answer is not heard: the run ends here.
    if (uiCmd != CRCVERIF_END && m_output.fnStopNow) {
        m_progress.Clear();
        m_output.fnStopNow();
    }
    return 0;
}

DWORD CVerifyHost::AnswerProblem(EProblemKind eKind, const std::wstring& strPath)
{
    m_progress.Clear();
    // A pair gets one line, from its first report.
    if (!m_tracker.LastJoinedPair()) {
        CProblemReport report;
        try {
            report = DescribeProblem(eKind, strPath, m_output.fnTargetFor);
            // The line names the disc copy; the events name its source too.
            if (report.strSource.empty() && !report.strDisc.empty() && m_output.fnSourceFor)
                report.strSource = m_output.fnSourceFor(report.strDisc);
        } catch (const std::exception&) {
            // Nothing may escape into the library: the report as it came.
            report.eStatus = eKind == EProblemKind::Missing       ? EProblemStatus::Missing
                             : eKind == EProblemKind::SizeDiffers ? EProblemStatus::Size
                                                                  : EProblemStatus::Content;
            report.strDisc = strPath;
        }
        ++m_auStatus[static_cast<int>(report.eStatus)];
        m_output.pReport->Write(ProblemLineFor(report) + "\n");
        m_bProblemPending = true;
        m_pendingProblem = report;
    }
    DWORD dwAnswer;
    const bool bInterrupted = m_output.fnInterrupted && m_output.fnInterrupted();
    switch (m_eOnError) {
    case EOnError::Ask:
        dwAnswer = bInterrupted ? 0 : Ask();
        break; // the stop answer follows
    case EOnError::Skip:
    case EOnError::Continue:
        dwAnswer = CRCVERIF_ANSWER_SKIP;
        break;
    case EOnError::Abort:
        dwAnswer = m_iRevision >= 11 ? CRCVERIF_ANSWER_ABORT : CRCVERIF_ANSWER_FAIL;
        break;
    default:
        dwAnswer = CRCVERIF_ANSWER_FAIL;
        break;
    }
    m_progress.Redraw();
    return dwAnswer;
}

DWORD CVerifyHost::Ask()
{
    const char* pszPrompt = m_iRevision >= 11 ? "[s]kip, [f]ail or [a]bort? " : "[s]kip or [f]ail? ";
    for (;;) {
        m_output.pProgress->Write(pszPrompt);
        std::string strReply;
        const bool bRead = !(m_output.fnInterrupted && m_output.fnInterrupted()) && m_output.fnReadReply &&
                           m_output.fnReadReply(strReply);
        if (m_output.fnInterrupted && m_output.fnInterrupted()) {
            m_output.pProgress->Write("\n");
            return 0; // the stop answer follows
        }
        if (!bRead) {
            // Nobody left to answer: stopping is the safe choice.
            m_output.pProgress->Write("fail\n");
            return CRCVERIF_ANSWER_FAIL;
        }
        DWORD dwAnswer;
        if (ParseReply(strReply, m_iRevision, dwAnswer))
            return dwAnswer;
    }
}

void CVerifyHost::Finish()
{
    m_progress.Clear();
}

} // namespace kvtool
