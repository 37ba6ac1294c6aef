// What the fuzz targets share: a check that stops the run with a message,
// so libFuzzer keeps the input, and BSTR helpers.
#pragma once

#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);                    \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

namespace kvfuzz {

// The text of a BSTR, which is freed; false for a null one.
inline bool TakeBstr(BSTR bstr, std::wstring& strOut)
{
    strOut.clear();
    if (!bstr)
        return false;
    strOut.assign(bstr, SysStringLen(bstr));
    SysFreeString(bstr);
    return true;
}

} // namespace kvfuzz
