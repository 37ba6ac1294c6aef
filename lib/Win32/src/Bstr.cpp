// BSTRs laid out as on Windows: a 4-byte byte count, then the characters,
// then a terminating null; the BSTR points at the characters.
#include <oleauto.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kPrefixBytes = sizeof(DWORD);

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
    if (bstrString)
        std::free(PrefixOf(bstrString));
}

UINT WINAPI SysStringLen(BSTR bstr)
{
    return bstr ? *PrefixOf(bstr) / sizeof(OLECHAR) : 0;
}

} // extern "C"
