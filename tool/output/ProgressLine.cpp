#include "output/ProgressLine.h"

namespace kvtool {

CProgressLine::CProgressLine(CTextSink* pSink, bool bTerminal, bool bQuiet, const char* pszWhat)
    : m_pSink(pSink), m_bTerminal(bTerminal), m_bQuiet(bQuiet), m_strWhat(pszWhat),
      m_last(std::chrono::steady_clock::now())
{
}

void CProgressLine::Update(unsigned long long ullDone, unsigned long long ullTotal)
{
    if (m_bQuiet || !m_pSink)
        return;
    const auto now = std::chrono::steady_clock::now();
    const auto interval = m_bTerminal ? std::chrono::milliseconds(100) : std::chrono::milliseconds(10000);
    if (now - m_last < interval)
        return;
    m_last = now;
    std::string strLine = m_strWhat + ": " + std::to_string(ullDone) + " of " + std::to_string(ullTotal) + " files";
    if (!m_bTerminal) {
        m_pSink->Write(strLine + "\n");
        return;
    }
    const size_t iLength = strLine.size();
    if (iLength < m_iLength)
        strLine.append(m_iLength - iLength, ' ');
    m_pSink->Write("\r" + strLine);
    m_iLength = iLength;
    m_bShown = true;
}

void CProgressLine::Clear()
{
    if (!m_bShown)
        return;
    m_pSink->Write("\r" + std::string(m_iLength, ' ') + "\r");
    m_bShown = false;
    m_iLength = 0;
}

} // namespace kvtool
