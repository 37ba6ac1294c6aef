// The last write time of a file or folder as ISO 8601 UTC text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace kvtool {

// "2024-05-01T10:00:00Z"; empty when the time cannot be read.
std::wstring WriteTimeText(const std::filesystem::path& path);
// The same, and the size std::filesystem::file_size gives (-1 when it
// fails), from one look at the file where the system allows.
std::wstring WriteTimeText(const std::filesystem::path& path, std::uintmax_t& ullSize);
#if !defined(_WIN32)
// The same from a look already taken (stat, following links).
std::wstring WriteTimeText(const struct stat& st, std::uintmax_t& ullSize);
#endif

} // namespace kvtool
