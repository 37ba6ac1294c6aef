// Win32 layer: the BSTR calls of OLE automation. A BSTR points at its text;
// the length in bytes is kept in the four bytes before it, as on Windows.
#pragma once

#include <windows.h>

extern "C" {
KVWIN32_API BSTR WINAPI SysAllocString(const OLECHAR* psz) KVWIN32_SYMBOL(SysAllocString);
KVWIN32_API BSTR WINAPI SysAllocStringLen(const OLECHAR* pch, UINT cch) KVWIN32_SYMBOL(SysAllocStringLen);
KVWIN32_API void WINAPI SysFreeString(BSTR bstrString) KVWIN32_SYMBOL(SysFreeString);
KVWIN32_API UINT WINAPI SysStringLen(BSTR bstr) KVWIN32_SYMBOL(SysStringLen);
}
