// Win32 layer: the shell path call the verifier uses.
#pragma once

#include <windows.h>

extern "C" {
KVWIN32_API BOOL WINAPI PathFileExistsW(LPCWSTR pszPath) KVWIN32_SYMBOL(PathFileExistsW);
}

#define PathFileExists PathFileExistsW
