// The medium's totals under /Factory/Media/Info, as GetFileCount and
// GetMediaSize read them: each loads the description file itself.
#pragma once

#include <windows.h>

#include "NodeRef.h"

namespace korvane {

// The messages of one total, each naming its operation.
struct InfoTexts {
    const wchar_t* pszChild;   // "Media_NumberFiles"
    const wchar_t* pszNoPath;  // path null
    const wchar_t* pszNoXml;   // no document interface
    const wchar_t* pszNoLoad;  // load failed (%s: the path)
    const wchar_t* pszNoInfo;  // no Info node (%s: the path)
    const wchar_t* pszNoChild; // no such child
};

// Loads the file and finds the child of Info; FALSE after logging the cause.
BOOL FindInfoChild(IZRXml* pXml, LPCTSTR pszPath, const InfoTexts& texts, NodeRef& child);

} // namespace korvane
