// The walk of a folder on a drive through the library's calls (on Linux, a
// drive the Win32 layer maps to a folder, a disc image or a disc's device),
// as WalkTree walks a native one.
#pragma once

#include "description/FileWalk.h"

#include <functional>
#include <string>

namespace kvtool {

#if !defined(_WIN32)
// The entries below strFolder (a library path) as the drive spells them,
// folders before what they hold, in name order, each strRel strPrefix
// joined with its path; strNative is shownRoot joined with it. A folder
// that cannot be listed goes to fnUnlisted with the I/O error a damaged
// disc gives.
void WalkDrive(const std::wstring& strFolder, const std::filesystem::path& shownRoot,
               const std::string& strPrefix, const std::function<bool(const CWalkEntry&)>& fnVisit,
               const FnUnlisted& fnUnlisted);
#endif

} // namespace kvtool
