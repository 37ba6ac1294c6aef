// Progress of a run that counts files: on a terminal one line redrawn in
// place at most ten times a second; otherwise a line at most every ten
// seconds; nothing when quiet.
#pragma once

#include "output/Console.h"

#include <chrono>
#include <string>

namespace kvtool {

class CProgressLine {
public:
    // pszWhat: "compare", "check".
    CProgressLine(CTextSink* pSink, bool bTerminal, bool bQuiet, const char* pszWhat);
    ~CProgressLine() { Clear(); }
    void Update(unsigned long long ullDone, unsigned long long ullTotal);
    // Removes the line from a terminal, before a problem line or at the end.
    void Clear();

private:
    CTextSink* m_pSink;
    bool m_bTerminal;
    bool m_bQuiet;
    std::string m_strWhat;
    std::chrono::steady_clock::time_point m_last;
    bool m_bShown = false;
    size_t m_iLength = 0;
};

} // namespace kvtool
