// Paths on their way from the command line to the library. The library
// takes Windows paths ("E:\Media\Media3.xml"); on Linux the Win32 layer maps
// a drive letter through KORVANE_DRIVE_<letter> and takes a path that begins
// with "/" as it is, so a native path made absolute serves there too.
#pragma once

#include <filesystem>
#include <string>

namespace kvtool {

// "E:\..." or "E:/...".
bool IsDrivePath(const std::wstring& strPath);
// A native path made absolute and tidied (no "." or ".." parts).
std::filesystem::path AbsoluteNative(const std::wstring& strPath);
// The text the library should get for a native file or folder.
std::wstring LibraryPathOf(const std::filesystem::path& pathNative);
// A path given on the command line, as the library should get it: on Linux
// a drive path stays as it is (the mapping resolves it); anything else is
// the absolute native path.
std::wstring LibraryPathFromArgument(const std::wstring& strArg);
// Whether two paths name one file where it stands: the same folder, or the
// same file in the same folder, as a mistyped path or a drive mapped to the
// sources gives. A hard link in another folder is that folder's own file,
// as in a tree made with cp -al or rsync --link-dest.
bool IsSamePlace(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace kvtool
