// Searching and replacing inside a CZRString.
#include "ZRString.h"

#include <climits>
#include <new>
#include <string>
#include <string_view>

// A null text is never found. An empty text is found at iStart itself, as
// long as iStart lies within the string (its length included); a negative
// iStart searches from the beginning.
BOOL CZRString::Find(const wchar_t* pszText, int* piPos, int iStart) const
{
    if (pszText == nullptr || iStart > m_iLength) {
        return FALSE;
    }
    if (iStart < 0) {
        iStart = 0;
    }
    std::wstring_view svThis(m_pszData, static_cast<std::size_t>(m_iLength));
    std::size_t nPos = svThis.find(pszText, static_cast<std::size_t>(iStart));
    if (nPos == std::wstring_view::npos) {
        return FALSE;
    }
    if (piPos != nullptr) {
        *piPos = static_cast<int>(nPos);
    }
    return TRUE;
}

// Left to right, and the text just put in is never searched again, so
// Replace(L"a", L"aa") terminates and "aaa" with "aa" replaced gives one
// replacement. A null new text deletes, like an empty one.
int CZRString::Replace(const wchar_t* pszOld, const wchar_t* pszNew)
{
    if (pszOld == nullptr || *pszOld == L'\0') {
        return 0;
    }
    std::wstring_view svThis(m_pszData, static_cast<std::size_t>(m_iLength));
    std::wstring_view svOld(pszOld);
    std::size_t nPos = svThis.find(svOld);
    if (nPos == std::wstring_view::npos) {
        return 0;
    }
    // Built apart and assigned at the end: either text may lie in this
    // string's own block.
    std::wstring_view svNew = pszNew != nullptr ? std::wstring_view(pszNew) : std::wstring_view();
    std::wstring strResult;
    std::size_t nDone = 0;
    int iCount = 0;
    while (nPos != std::wstring_view::npos) {
        strResult.append(svThis.substr(nDone, nPos - nDone));
        strResult.append(svNew);
        nDone = nPos + svOld.size();
        ++iCount;
        nPos = svThis.find(svOld, nDone);
    }
    strResult.append(svThis.substr(nDone));
    if (strResult.size() > static_cast<std::size_t>(INT_MAX - 1)) {
        throw std::bad_alloc();
    }
    Assign(strResult.c_str(), static_cast<int>(strResult.size()));
    return iCount;
}
