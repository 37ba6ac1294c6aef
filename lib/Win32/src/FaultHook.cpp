// The fault seam: a test's hook may fail an open or a read, or shorten a read.
#include "Internal.h"

#include <atomic>

namespace kvwin32 {

namespace {
std::atomic<PFNFAULTHOOK> g_pfnHook{nullptr};
std::atomic<void*> g_pHookContext{nullptr};
} // namespace

void SetFaultHook(PFNFAULTHOOK pfnHook, void* pContext)
{
    // The context first, so a call that sees the new hook sees its context.
    g_pHookContext.store(pContext, std::memory_order_release);
    g_pfnHook.store(pfnHook, std::memory_order_release);
}

namespace detail {

BOOL ConsultFaultHook(const FaultContext& ctx, DWORD& dwError)
{
    const PFNFAULTHOOK pfnHook = g_pfnHook.load(std::memory_order_acquire);
    if (!pfnHook)
        return TRUE;
    // A hook that fails the call without naming an error still fails it; one
    // that sets 0 gets 0, so callers' handling of that case can be tested.
    DWORD dwHookError = ERROR_GEN_FAILURE;
    if (pfnHook(g_pHookContext.load(std::memory_order_acquire), ctx, &dwHookError))
        return TRUE;
    dwError = dwHookError;
    return FALSE;
}

} // namespace detail
} // namespace kvwin32
