// Whole files through the Win32 file API (on Linux the Win32 layer, whose
// drive mapping turns the Windows path into a local one).
#pragma once

#include "RawBuffer.h"

#include <windows.h>

namespace zrxml {

// A description is a few MB even for a disc of small files: a file larger
// than this is refused before its bytes are taken in.
constexpr unsigned long long kMaxDescriptionBytes = 1ULL << 30;

// The file's bytes; on failure the Win32 error as an HRESULT,
// XML_E_NOTAFILE for what is not a file (a device, pipe or socket: their
// bytes never end) and XML_E_FILETOOBIG beyond kMaxDescriptionBytes. May
// throw std::bad_alloc.
HRESULT ReadWholeFile(LPCWSTR pszPath, CRawBuffer<unsigned char>& bytes);

} // namespace zrxml
