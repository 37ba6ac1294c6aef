// Result codes of the XML library. Callers only test the sign; the distinct
// codes tell a log reader (and the tests) which rule a document broke.
#pragma once

#include <windows.h>

#include "ZRXml.h"

namespace zrxml {

// MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0201...).
constexpr HRESULT XML_E_ENCODING = static_cast<HRESULT>(0x80040201UL);    // declared encoding not supported
constexpr HRESULT XML_E_BADBYTES = static_cast<HRESULT>(0x80040202UL);    // invalid byte sequence
constexpr HRESULT XML_E_BADCHAR = static_cast<HRESULT>(0x80040203UL);     // character not allowed in XML
constexpr HRESULT XML_E_SYNTAX = static_cast<HRESULT>(0x80040204UL);      // malformed markup
constexpr HRESULT XML_E_TAGMISMATCH = static_cast<HRESULT>(0x80040205UL); // end tag of another element
constexpr HRESULT XML_E_TRUNCATED = static_cast<HRESULT>(0x80040206UL);   // input ends inside the document
constexpr HRESULT XML_E_NOROOT = static_cast<HRESULT>(0x80040207UL);      // no root element
constexpr HRESULT XML_E_SECONDROOT = static_cast<HRESULT>(0x80040208UL);  // an element after the root
constexpr HRESULT XML_E_TEXTOUTSIDE = static_cast<HRESULT>(0x80040209UL); // text outside the root
constexpr HRESULT XML_E_DUPATTR = static_cast<HRESULT>(0x8004020AUL);     // attribute given twice
constexpr HRESULT XML_E_ENTITY = static_cast<HRESULT>(0x8004020BUL);      // unknown entity reference
constexpr HRESULT XML_E_CHARREF = static_cast<HRESULT>(0x8004020CUL);  // reference to a forbidden character
constexpr HRESULT XML_E_TOOLARGE = static_cast<HRESULT>(0x8004020DUL); // beyond the tree's 32-bit counts
constexpr HRESULT XML_E_NOTAFILE = static_cast<HRESULT>(0x8004020EUL); // a device, pipe or socket, not a file
constexpr HRESULT XML_E_FILETOOBIG = static_cast<HRESULT>(0x8004020FUL); // larger than kMaxDescriptionBytes
constexpr HRESULT XML_E_NOTLOADED = static_cast<HRESULT>(0x80040210UL);  // the document is empty
constexpr HRESULT XML_E_NOTFOUND = ZRXML_E_NOTFOUND;                     // no node at that path or name
constexpr HRESULT XML_E_BADPATH = static_cast<HRESULT>(0x80040212UL);    // malformed node path

// HRESULT_FROM_WIN32, except that a missing error code still reads as a
// failure: a call that failed must never turn into success.
inline HRESULT HrFromWin32(DWORD dwError)
{
    if (dwError == 0)
        return E_FAIL;
    return static_cast<HRESULT>((dwError & 0xFFFFUL) | 0x80070000UL);
}

} // namespace zrxml
