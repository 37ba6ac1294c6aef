// The --events record of one file pair with a problem: its line's status,
// both files in native and library form, their sizes, and their disc
// checksums when they have the same size (what CONTENT is about).
#pragma once

#include "host/ProblemReport.h"
#include "output/EventLog.h"

namespace kvtool {

CProblemEvent ProblemEventFor(const CProblemReport& report, const char* pszAnswer);
// One file of a record: its paths, and its size when it is a regular file.
CEventFile EventFileOf(const std::filesystem::path& pathNative, const std::wstring& strWindows);

} // namespace kvtool
