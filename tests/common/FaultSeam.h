// The fault seam of the failure-path tests, one interface on every platform:
// off Windows the Win32 layer's own (kvwin32.h); on Windows a test-only
// object in front of the system's file calls (WindowsFaultSeam.cpp), which
// covers the code linked into the test program but not what a DLL calls.
#pragma once

#if defined(_WIN32)
#include "kvfault.h"

namespace kvwin32 {
void SetFaultHook(PFNFAULTHOOK pfnHook, void* pContext);
} // namespace kvwin32
#else
#include "kvwin32.h"
#endif
