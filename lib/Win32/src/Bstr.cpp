// BSTRs laid out as on Windows: a 4-byte byte count, then the characters,
// then a terminating null; the BSTR points at the characters.
#include <oleauto.h>

#include "kvwin32.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kPrefixBytes = sizeof(DWORD);

// BSTRs allocated and not yet freed, so tests can prove none is lost.
std::atomic<long> g_lLiveBstrs{0};

DWORD* PrefixOf(BSTR bstr)
{
    return reinterpret_cast<DWORD*>(reinterpret_cast<char*>(bstr) - kPrefixBytes);
}

} // namespace

extern "C" {

BSTR WINAPI SysAllocStringLen(const OLECHAR* pch, UINT cch)
{
    // The byte count must fit its four bytes.
    if (cch > (std::numeric_limits<DWORD>::max() - kPrefixBytes) / sizeof(OLECHAR) - 1)
        return nullptr;
    const std::size_t cbText = static_cast<std::size_t>(cch) * sizeof(OLECHAR);
    void* pBlock = std::malloc(kPrefixBytes + cbText + sizeof(OLECHAR));
    if (!pBlock)
        return nullptr;
    *static_cast<DWORD*>(pBlock) = static_cast<DWORD>(cbText);
    BSTR bstr = reinterpret_cast<BSTR>(static_cast<char*>(pBlock) + kPrefixBytes);
    // Without source text the characters are left for the caller, zeroed here.
    if (pch)
        std::memcpy(bstr, pch, cbText);
    else
        std::memset(bstr, 0, cbText);
    bstr[cch] = L'\0';
    ++g_lLiveBstrs;
    return bstr;
}

BSTR WINAPI SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    const std::size_t cch = std::wcslen(psz);
    if (cch > std::numeric_limits<DWORD>::max() / sizeof(OLECHAR))
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(cch));
}

void WINAPI SysFreeString(BSTR bstrString)
{
    if (bstrString) {
        --g_lLiveBstrs;
        std::free(PrefixOf(bstrString));
    }
}

UINT WINAPI SysStringLen(BSTR bstr)
{
    return bstr ? *PrefixOf(bstr) / sizeof(OLECHAR) : 0;
}

} // extern "C"

namespace kvwin32 {

long LiveBstrCount()
{
    return g_lLiveBstrs.load();
}

} // namespace kvwin32
