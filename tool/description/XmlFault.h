// Where a description that the XML library refuses goes wrong, found by the
// tool's own look at its structure: the library says only that it failed.
#pragma once

#include <string>

namespace kvtool {

// "line 3, column 7: </Media> closes <Info>"; empty when the tags, comments
// and quotes are in order (the fault is then one this look does not see).
std::string FindXmlFault(const std::string& strBytes);

} // namespace kvtool
