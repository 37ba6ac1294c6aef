// KorvaneHost: CKorvane behind plain C calls. Nothing thrown may reach a C
// caller, and the 32-bit MinGW build cannot carry an exception out of a DLL.
#include "KorvaneHost.h"

#include "Korvane.h"
#include "KorvaneChecksum.h"

#include <new>
#include <type_traits>

// The host's callback goes to CKorvane as it is.
static_assert(std::is_same<KORVANE_HOST_CALLBACK, CRCVERIFCB>::value, "callback types differ");
static_assert(std::is_same<KORVANE_HRESULT, HRESULT>::value, "HRESULT types differ");

struct KorvaneHostObject {
    CKorvane verifier;
    CRCVERIFCB pfnCallback = nullptr;
    void* pUserParam = nullptr;
};

namespace {

template <class FnRun> HRESULT Guarded(KORVANE_HOST hHost, FnRun fnRun)
{
    if (!hHost)
        return E_INVALIDARG;
    try {
        return fnRun(*hHost);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace

extern "C" {

KORVANE_HOST_API KORVANE_HOST KORVANE_HOST_CALL KorvaneHostCreate(void)
{
    try {
        return new KorvaneHostObject;
    } catch (...) {
        return nullptr;
    }
}

KORVANE_HOST_API void KORVANE_HOST_CALL KorvaneHostDestroy(KORVANE_HOST hHost)
{
    delete hHost;
}

KORVANE_HOST_API KORVANE_HRESULT KORVANE_HOST_CALL KorvaneHostSetCallback(KORVANE_HOST hHost,
                                                                          KORVANE_HOST_CALLBACK pfnCallback,
                                                                          void* pUserParam)
{
    if (!hHost)
        return E_INVALIDARG;
    hHost->pfnCallback = pfnCallback;
    hHost->pUserParam = pUserParam;
    return S_OK;
}

KORVANE_HOST_API KORVANE_HRESULT KORVANE_HOST_CALL KorvaneHostVerifyBurning(KORVANE_HOST hHost,
                                                                            wchar_t wcDrive, int iNumber,
                                                                            const wchar_t* pszFolder)
{
    return Guarded(hHost, [&](KorvaneHostObject& host) {
        return host.verifier.VerifyBurning(wcDrive, iNumber, pszFolder, host.pfnCallback, host.pUserParam);
    });
}

KORVANE_HOST_API KORVANE_HRESULT KORVANE_HOST_CALL KorvaneHostVerifyFile(KORVANE_HOST hHost, wchar_t wcDrive,
                                                                         const wchar_t* pszDescription)
{
    return Guarded(hHost, [&](KorvaneHostObject& host) {
        return host.verifier.VerifyBurning(wcDrive, pszDescription, host.pfnCallback, host.pUserParam);
    });
}

KORVANE_HOST_API KORVANE_DWORD KORVANE_HOST_CALL KorvaneHostFileChecksum(const wchar_t* pszPath)
{
    return KorvaneFileChecksum(pszPath);
}

} // extern "C"
