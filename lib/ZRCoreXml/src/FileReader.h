// Whole files through the Win32 file API (on Linux the Win32 layer, whose
// drive mapping turns the Windows path into a local one).
#pragma once

#include "RawBuffer.h"

#include <windows.h>

namespace zrxml {

// The file's bytes; on failure the Win32 error as an HRESULT. May throw
// std::bad_alloc.
HRESULT ReadWholeFile(LPCWSTR pszPath, CRawBuffer<unsigned char>& bytes);

} // namespace zrxml
