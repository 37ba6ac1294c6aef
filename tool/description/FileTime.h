// The last write time of a file or folder as ISO 8601 UTC text.
#pragma once

#include <filesystem>
#include <string>

namespace kvtool {

// "2024-05-01T10:00:00Z"; empty when the time cannot be read.
std::wstring WriteTimeText(const std::filesystem::path& path);

} // namespace kvtool
