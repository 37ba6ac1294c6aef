// Progress on standard error, the same for every command: on a terminal a
// bar redrawn in place at most ten times a second and fitted to its width;
// elsewhere a plain line at most every ten seconds; nothing when quiet.
#pragma once

#include "output/Console.h"

#include <functional>
#include <string>

namespace kvtool {

class CProgressDisplay {
  public:
    // bShow false: nothing at all. bBar: a terminal iColumns wide. fnClock
    // gives seconds from any fixed point; the default is a steady clock.
    CProgressDisplay(CTextSink* pSink, bool bShow, bool bBar, int iColumns,
                     std::function<double()> fnClock = {});
    ~CProgressDisplay() { Clear(); }
    CProgressDisplay(const CProgressDisplay&) = delete;
    CProgressDisplay& operator=(const CProgressDisplay&) = delete;

    // A run of uTotal MiB, or uTotal files with bFiles: the "begin:" line,
    // or the bar at once.
    void Begin(unsigned uTotal, bool bFiles);
    void Update(unsigned uDone);
    // The bar again at once, after a line printed over it.
    void Redraw() { ShowBar(true); }
    // Takes the bar off the screen (before a line of its own, or at the end).
    void Clear();
    // The run is over: the bar goes and is not drawn again.
    void End();
    // Whether plain lines are written (not a terminal, not quiet).
    bool Lines() const { return m_bShow && !m_bBar; }

  private:
    void ShowBar(bool bForce);
    double Elapsed() const { return m_fnClock() - m_dStart; }

    CTextSink* m_pSink;
    bool m_bShow;
    bool m_bBar;
    int m_iColumns;
    std::function<double()> m_fnClock;
    bool m_bBegun = false;
    bool m_bEnded = false;
    unsigned m_uTotal = 0;
    unsigned m_uDone = 0;
    bool m_bFiles = false;
    double m_dStart = 0.0;
    double m_dLastDrawn = -1e9;
    size_t m_iBarLength = 0; // 0: no bar on the screen
};

} // namespace kvtool
