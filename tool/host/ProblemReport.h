// The one line a file pair with a problem gets: its status and its disc
// copy as the user knows it, decided from the pair's first report and from
// what the tool sees of the two files itself.
#pragma once

#include "host/ProblemTracker.h"
#include "output/ProblemLine.h"

#include <functional>
#include <string>

namespace kvtool {

struct CProblemReport {
    EProblemStatus eStatus = EProblemStatus::Content;
    std::wstring strDisc;   // the disc copy, as the library names it; empty when unknown
    std::wstring strSource; // the source, as the library names it; empty when unknown
    std::string strDetail;  // why, or which source; empty when the status says it all
};

// strReported: the report's path, completed when the buffer cut it.
CProblemReport DescribeProblem(EProblemKind eKind, const std::wstring& strReported,
                               const FnTargetFor& fnTargetFor);
// "MISSING  /media/disc/a.txt", paths native and escaped; no line end.
std::string ProblemLineFor(const CProblemReport& report);

} // namespace kvtool
