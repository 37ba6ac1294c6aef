#include "host/VerifyHost.h"

#include "output/JsonEvent.h"
#include "output/ProgressText.h"
#include "output/Text.h"

#include <Korvane.h>

#include <cctype>
#include <chrono>
#include <cwchar>

namespace kvtool {

bool ParseOnError(const std::wstring& strText, EOnError& eOnError)
{
    if (strText == L"ask") eOnError = EOnError::Ask;
    else if (strText == L"skip") eOnError = EOnError::Skip;
    else if (strText == L"fail") eOnError = EOnError::Fail;
    else if (strText == L"abort") eOnError = EOnError::Abort;
    else return false;
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

CVerifyHost::CVerifyHost(int iRevision, EOnError eOnError, CHostOutput output, std::function<double()> fnClock)
    : m_iRevision(iRevision), m_eOnError(eOnError), m_output(std::move(output)), m_fnClock(std::move(fnClock)),
      m_tracker(iRevision)
{
    if (!m_fnClock)
        m_fnClock = [] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        };
}

DWORD CALLBACK CVerifyHost::Callback(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3)
{
    return static_cast<CVerifyHost*>(pParam3)->OnCommand(uiCmd, static_cast<const wchar_t*>(pParam1), dwParam2);
}

double CVerifyHost::Elapsed() const { return m_fnClock() - m_dStart; }

DWORD CVerifyHost::OnCommand(UINT uiCmd, const wchar_t* pszParam1, DWORD dwParam2)
{
    // The report buffer holds MAX_PATH characters; never read past it.
    std::wstring strParam1 = pszParam1 ? std::wstring(pszParam1, wcsnlen(pszParam1, MAX_PATH)) : std::wstring();
    DWORD dwAnswer = 0;
    switch (uiCmd) {
    case CRCVERIF_BEGIN:
        m_bBegun = true;
        m_dwBeginTotal = dwParam2;
        m_uDone = 0;
        m_dStart = m_fnClock();
        m_tracker.OnBegin();
        if (!m_output.bBar)
            m_output.pProgress->Write(FormatBeginLine(dwParam2, m_iRevision < 11) + "\n");
        ShowProgress();
        break;
    case CRCVERIF_PROGRESS:
        if (m_iRevision < 11) {
            ++m_uDone; // one report per matching file, each carrying the file count
            m_tracker.OnMatch();
        } else {
            m_uDone = dwParam2;
        }
        if (!m_output.bBar)
            m_output.pProgress->Write(
                FormatProgressLine({m_uDone, m_dwBeginTotal, m_iRevision < 11, Elapsed()}) + "\n");
        ShowProgress();
        break;
    case CRCVERIF_END:
        m_bEnded = true;
        m_dwEndCount = dwParam2;
        ClearBar();
        if (!m_output.bBar)
            m_output.pProgress->Write("end: " + std::to_string(dwParam2) + " files listed\n");
        break;
    case CRCVERIF_FILEERROR:
        dwAnswer = AnswerProblem(m_tracker.OnProblem(strParam1, dwParam2), strParam1);
        break;
    case CRCVERIF_TARGETDONE:
        m_tracker.OnTargetDone();
        break;
    default:
        break;
    }
    if (m_output.pEvents)
        m_output.pEvents->Write(FormatEventLine(uiCmd, pszParam1 ? strParam1.c_str() : nullptr, dwParam2, dwAnswer) +
                                "\n");
    return dwAnswer;
}

DWORD CVerifyHost::AnswerProblem(EProblemKind eKind, const std::wstring& strPath)
{
    ClearBar();
    std::string strLine = std::string(ProblemKindText(eKind)) + ": " + Utf8FromWide(strPath);
    if (m_tracker.LastJoinedPair())
        strLine += " (same file pair)";
    m_output.pReport->Write(strLine + "\n");
    DWORD dwAnswer;
    switch (m_eOnError) {
    case EOnError::Ask: dwAnswer = Ask(); break;
    case EOnError::Skip: dwAnswer = CRCVERIF_ANSWER_SKIP; break;
    case EOnError::Abort: dwAnswer = m_iRevision >= 11 ? CRCVERIF_ANSWER_ABORT : CRCVERIF_ANSWER_FAIL; break;
    default: dwAnswer = CRCVERIF_ANSWER_FAIL; break;
    }
    ShowProgress();
    return dwAnswer;
}

DWORD CVerifyHost::Ask()
{
    const char* pszPrompt = m_iRevision >= 11 ? "[s]kip, [f]ail or [a]bort? " : "[s]kip or [f]ail? ";
    for (;;) {
        m_output.pProgress->Write(pszPrompt);
        std::string strReply;
        if (!m_output.fnReadReply || !m_output.fnReadReply(strReply)) {
            // Nobody left to answer: stopping is the safe choice.
            m_output.pProgress->Write("fail\n");
            return CRCVERIF_ANSWER_FAIL;
        }
        DWORD dwAnswer;
        if (ParseReply(strReply, m_iRevision, dwAnswer))
            return dwAnswer;
    }
}

void CVerifyHost::ShowProgress()
{
    if (!m_output.bBar || !m_bBegun || m_bEnded)
        return;
    std::string strBar = FormatProgressBar({m_uDone, m_dwBeginTotal, m_iRevision < 11, Elapsed()});
    size_t iLength = strBar.size();
    if (iLength < m_iBarLength)
        strBar.append(m_iBarLength - iLength, ' ');
    m_output.pProgress->Write("\r" + strBar);
    m_iBarLength = iLength;
}

void CVerifyHost::ClearBar()
{
    if (!m_iBarLength)
        return;
    m_output.pProgress->Write("\r" + std::string(m_iBarLength, ' ') + "\r");
    m_iBarLength = 0;
}

void CVerifyHost::Finish() { ClearBar(); }

} // namespace kvtool
