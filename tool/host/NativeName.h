// The paths the library reports, as the user knows them: a disc path
// "E:\docs\a.txt" is the file below the folder the drive is mapped to, and
// every path is shown with "/". A report names at most MAX_PATH - 1
// characters; a longer path arrives cut, and is completed from the folder
// it lies in.
#pragma once

#include <filesystem>
#include <string>

namespace kvtool {

// The native file a library path names: on Linux a drive path goes through
// KORVANE_DRIVE_<letter> and "\" separates like "/"; on Windows the path is
// the native one.
std::filesystem::path NativeFromLibrary(const std::wstring& strLibraryPath);
// The native path as the user reads it, with "/"; UTF-8 except for Linux
// names that are not, whose bytes stay for EscapeControls to show.
std::string ShownPath(const std::filesystem::path& pathNative);
// Whether a reported path may have been cut by the report buffer.
bool MayBeCut(const std::wstring& strReported);
// The whole library path that a cut report begins with, found by listing
// the folders it names; the reported text when none or several fit.
std::wstring CompleteCutPath(const std::wstring& strReported);

} // namespace kvtool
