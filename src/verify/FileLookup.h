// The lookup of one file before its comparison: size and last write time.
#pragma once

#include <windows.h>

namespace korvane {

// FindFirstFileW on the plain path. On success sets the size and the UTC
// write time and closes the search; on failure leaves both untouched.
BOOL LookUpFile(const wchar_t* pszPath, WIN32_FIND_DATAW& fd, __int64& iSize, SYSTEMTIME& stWrite);

} // namespace korvane
