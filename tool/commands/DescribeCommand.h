// korvane describe --number N --out DIR --target \Path SOURCE...
#pragma once

#include "description/MediaDescription.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kvtool {

// Writes DIR/Media<N>.xml for the sources, creating DIR; returns the file
// written. Throws CUsageError.
std::filesystem::path WriteDescriptionFile(const std::filesystem::path& outFolder, int iNumber,
                                           const CMediaDescription& desc);
int DescribeCommand(const std::vector<std::wstring>& vecArgs);

} // namespace kvtool
