// korvane demo [--drive X] [--keep] [--events FILE|-] [--log FILE]
//
// The whole road in one command: a small source tree, a "disc" copy of it
// with one file altered and one left out, the description file written by
// the describe code, and a verify run that skips every problem. The disc
// is reached through a drive letter: on Linux a free letter from K on,
// mapped with KORVANE_DRIVE_<letter>; on Windows the drive given with
// --drive (the demo makes its folder there), else the temporary folder's
// own drive.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kvtool {

// The sample tree below root: source/ and disc/, the disc copy altered.
// Returns the relative paths of the altered and of the missing file.
struct CDemoTree {
    std::filesystem::path source;
    std::filesystem::path disc;
    std::wstring strAltered; // "docs/notes.txt"
    std::wstring strMissing; // "setup.bin"
};
CDemoTree BuildDemoTree(const std::filesystem::path& sourceRoot, const std::filesystem::path& discRoot);

int DemoCommand(const std::vector<std::wstring>& vecArgs);

} // namespace kvtool
