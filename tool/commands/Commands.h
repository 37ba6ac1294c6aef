// The sub-commands by name: verify, checksum, describe, demo, help and
// --version.
#pragma once

#include <string>
#include <vector>

namespace kvtool {

// Runs the command that vecArgs begins with and returns its exit code.
// Throws CUsageError for no command or an unknown one, and whatever the
// command throws.
int RunCommand(const std::vector<std::wstring>& vecArgs);

} // namespace kvtool
