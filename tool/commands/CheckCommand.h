// korvane check MANIFEST [--root DIR] [--quiet]
//
// Verifies a disc or a folder from its digest manifest alone: every file
// listed is read and its SHA-256 compared; files below the root that the
// manifest does not list are reported EXTRA (the manifest itself aside).
#pragma once

#include <string>
#include <vector>

namespace kvtool {

int CheckCommand(const std::vector<std::wstring>& vecArgs);

} // namespace kvtool
