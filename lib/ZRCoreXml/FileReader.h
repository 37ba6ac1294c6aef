// Whole files through the Win32 file API (on Linux the Win32 layer, whose
// drive mapping turns the Windows path into a local one).
#pragma once

#include <windows.h>

#include <vector>

namespace zrxml {

// The file's bytes; on failure the Win32 error as an HRESULT.
HRESULT ReadWholeFile(LPCWSTR pszPath, std::vector<unsigned char>& vecBytes);

} // namespace zrxml
