// The decimal numbers of a description's FILE entries (Attribute, Exclusion,
// FileSize): leading white space, one sign, digits up to the first other
// character; no digits give 0; out of range clamps to the signed limits.
#pragma once

#include <windows.h>

namespace korvane {

__int64 DecimalToInt64(const wchar_t* pszText);
// Clamped to the signed 32-bit range, then kept as its 32-bit pattern.
DWORD DecimalToDword(const wchar_t* pszText);

} // namespace korvane
