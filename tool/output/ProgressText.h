// Progress as the tool shows it: a bar redrawn on a terminal, a plain line
// per report elsewhere. Revision 1.1 counts MiB read (both copies of every
// file); revision 1.0 counts matching files against the file count.
#pragma once

#include <string>

namespace kvtool {

struct CProgressSnapshot {
    unsigned uDone = 0;    // MiB read, or files matched
    unsigned uTotal = 0;   // the start report's total; 0 when unknown
    bool bFiles = false;   // true: files (revision 1.0); false: MiB
    double dElapsed = 0.0; // seconds since the start report
};

// "[######------]  12/40 MiB  30%  5.2 MiB/s  0:05 left", without a line end.
std::string FormatProgressBar(const CProgressSnapshot& snap, int iBarWidth = 24);
// The bar for a terminal iColumns wide: the bar shrinks (to 40 at most) so
// that the line never reaches the last column; below ten characters of bar
// only the numbers are shown, cut to the width.
std::string FitProgressBar(const CProgressSnapshot& snap, int iColumns);
// "progress: 12 of 40 MiB".
std::string FormatProgressLine(const CProgressSnapshot& snap);
// "begin: 40 MiB to read" / "begin: 10 files to check".
std::string FormatBeginLine(unsigned uTotal, bool bFiles);
// "0:05", "12:34", "1:02:03"; rounded to whole seconds.
std::string FormatDuration(double dSeconds);

} // namespace kvtool
