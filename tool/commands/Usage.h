// The help texts: the whole one, and one command's.
#pragma once

#include <string>

namespace kvtool {

std::string UsageText();
// The help of "verify", "checksum", "describe" or "demo"; empty for another name.
std::string CommandUsage(const std::string& strCommand);

} // namespace kvtool
