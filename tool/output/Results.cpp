#include "output/Results.h"

#include <cstdio>

namespace kvtool {

std::string ResultName(HRESULT hr)
{
    switch (hr) {
    case S_OK:
        return "S_OK";
    case E_FAIL:
        return "E_FAIL";
    case E_ABORT:
        return "E_ABORT";
    case E_INVALIDARG:
        return "E_INVALIDARG";
    case E_NOTIMPL:
        return "E_NOTIMPL";
    default:
        return std::string();
    }
}

std::string ResultText(HRESULT hr)
{
    char szHex[16];
    std::snprintf(szHex, sizeof szHex, "0x%08X", static_cast<unsigned>(hr));
    std::string strName = ResultName(hr);
    return strName.empty() ? std::string(szHex) : strName + " (" + szHex + ")";
}

int ExitCodeFor(HRESULT hr)
{
    switch (hr) {
    case S_OK:
        return EXIT_OK;
    case E_FAIL:
        return EXIT_FAILED;
    case E_ABORT:
        return EXIT_ABORTED;
    case E_INVALIDARG:
        return EXIT_USAGE;
    default:
        return EXIT_OTHER;
    }
}

} // namespace kvtool
