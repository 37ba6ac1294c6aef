#include "output/ProgressDisplay.h"

#include "output/ProgressText.h"

#include <chrono>

namespace kvtool {

namespace {

// The bar is redrawn at most this often; without a terminal a progress
// line is written at most this often.
const double kdBarInterval = 0.1;
const double kdLineInterval = 10.0;

} // namespace

CProgressDisplay::CProgressDisplay(CTextSink* pSink, bool bShow, bool bBar, int iColumns,
                                   std::function<double()> fnClock)
    : m_pSink(pSink), m_bShow(bShow && pSink), m_bBar(bBar), m_iColumns(iColumns),
      m_fnClock(std::move(fnClock))
{
    if (!m_fnClock)
        m_fnClock = [] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        };
}

void CProgressDisplay::Begin(unsigned uTotal, bool bFiles)
{
    m_bBegun = true;
    m_bEnded = false;
    m_uTotal = uTotal;
    m_uDone = 0;
    m_bFiles = bFiles;
    m_dStart = m_fnClock();
    m_dLastDrawn = m_dStart;
    if (Lines())
        m_pSink->Write(FormatBeginLine(uTotal, bFiles) + "\n");
    ShowBar(true);
}

void CProgressDisplay::Update(unsigned uDone)
{
    m_uDone = uDone;
    if (Lines() && m_fnClock() - m_dLastDrawn >= kdLineInterval) {
        m_dLastDrawn = m_fnClock();
        m_pSink->Write(FormatProgressLine({m_uDone, m_uTotal, m_bFiles, Elapsed()}) + "\n");
    }
    ShowBar(false);
}

void CProgressDisplay::ShowBar(bool bForce)
{
    if (!m_bShow || !m_bBar || !m_bBegun || m_bEnded)
        return;
    const double dNow = m_fnClock();
    if (!bForce && dNow - m_dLastDrawn < kdBarInterval)
        return;
    m_dLastDrawn = dNow;
    std::string strBar = FitProgressBar({m_uDone, m_uTotal, m_bFiles, Elapsed()}, m_iColumns);
    const size_t iLength = strBar.size();
    if (iLength < m_iBarLength)
        strBar.append(m_iBarLength - iLength, ' ');
    m_pSink->Write("\r" + strBar);
    m_iBarLength = iLength;
}

void CProgressDisplay::Clear()
{
    if (!m_iBarLength)
        return;
    m_pSink->Write("\r" + std::string(m_iBarLength, ' ') + "\r");
    m_iBarLength = 0;
}

void CProgressDisplay::End()
{
    Clear();
    m_bEnded = true;
}

} // namespace kvtool
