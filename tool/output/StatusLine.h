// One problem, one line: "STATUS  path", the path in the host's own form
// with control characters escaped the way `ls -b` shows them, so that a
// name can neither break the line nor drive the terminal.
#pragma once

#include <string>

namespace kvtool {

// "\\" for a backslash; \n, \r, \t, \a, \b, \f, \v by name; other bytes
// below 0x20 and 0x7F as a backslash and three octal digits.
std::string EscapeControls(const std::string& strUtf8);
// "MISSING  /media/copy/a.txt\n".
std::string StatusLine(const char* pszStatus, const std::string& strPathUtf8);

} // namespace kvtool
