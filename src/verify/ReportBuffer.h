// The MAX_PATH buffer through which a report hands a path to the host.
#pragma once

#include <windows.h>

namespace korvane {

// Copies at most MAX_PATH - 1 characters and the terminating null: a longer
// path reaches the host cut short rather than overrunning the buffer.
void CopyToReportBuffer(wchar_t (&szBuffer)[MAX_PATH], const wchar_t* pszPath);

} // namespace korvane
