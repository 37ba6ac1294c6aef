// Win32 layer extras that Windows has no counterpart for: how a Windows
// path is mapped to this system, and the fault seam the tests use (declared
// and exported only in test builds, KVWIN32_TEST_SEAMS).
#pragma once

#include <windows.h>

#include "kvfault.h"

#include <string>

namespace kvwin32 {

// The host path for a Windows path: "X:\a\b" goes to the folder named by
// KORVANE_DRIVE_X (either case of X; the environment is read on every call),
// "\" and "/" both separate, repeated separators collapse, "." and ".."
// are resolved without leaving the drive's folder, and a "\\?\" prefix is
// dropped. A path that begins with "/" is a host path and is not mapped.
// Names are UTF-8 and left as spelled; the file calls find a name the host
// holds under another case (see ForgetFolderListings). Empty when the
// path cannot be mapped: an unmapped drive, a relative or UNC path, a
// character that is no Unicode scalar value, or (without "\\?\") a drive
// path of MAX_PATH characters or more.
KVWIN32_API std::string MapPath(const wchar_t* pszPath);

// A name that is not there with its exact spelling is looked up without
// regard to case, through a listing of its folder kept for the run (and
// made again once the folder changes). This drops every listing kept, so
// that the next such lookup starts cold.
KVWIN32_API void ForgetFolderListings();

// No Windows name holds \ * ? : " < > |: in a host name the layer lists
// each as the private-use character U+F000 plus it (as Cygwin and WSL list
// them), and in a path the stand-in names the character again. The stand-in
// for c, and the character that c stands in for; c itself where there is none.
KVWIN32_API wchar_t NameStandIn(wchar_t c);
KVWIN32_API wchar_t NameCharacter(wchar_t c);

#ifdef KVWIN32_TEST_SEAMS
KVWIN32_API void SetFaultHook(PFNFAULTHOOK pfnHook, void* pContext);

// BSTRs allocated by SysAllocString* and not yet freed (all threads).
KVWIN32_API long LiveBstrCount();
#endif

} // namespace kvwin32
