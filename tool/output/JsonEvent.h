// One callback as one JSON object on one line, for --events:
// {"cmd":3,"name":"CRCVERIF_FILEERROR","param1":"E:\\a.txt","param2":1,"answer":0}
#pragma once

#include <windows.h>

#include <string>

namespace kvtool {

// A JSON string literal (quotes included) in UTF-8. Control characters and
// lone UTF-16 surrogates are written as \u escapes, so any path survives.
std::string JsonString(const std::wstring& strText);
// "CRCVERIF_BEGIN" ... "CRCVERIF_TARGETDONE"; "CRCVERIF_UNKNOWN" otherwise.
const char* CommandName(UINT uiCmd);
// The line without its line end; a null pszParam1 is written as null.
std::string FormatEventLine(UINT uiCmd, const wchar_t* pszParam1, DWORD dwParam2, DWORD dwAnswer);

} // namespace kvtool
