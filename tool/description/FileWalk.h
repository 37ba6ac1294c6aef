// The walk the copy commands make of a tree: every entry below a root with
// its path relative to it ('/'-separated UTF-8), folders before what they
// hold, in name order. "System Volume Information" folders are left out,
// as the library leaves them out.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace kvtool {

struct CWalkEntry {
    std::string strRel;         // "docs/a.txt"
    std::filesystem::path path; // native, below the root
    bool bFolder = false;
    bool bFile = false; // a regular file (a link to one counts)
};

// fnVisit returns whether to walk into a folder (ignored for the rest).
void WalkTree(const std::filesystem::path& root, const std::function<bool(const CWalkEntry&)>& fnVisit);
// Text of a native relative path as WalkTree gives it.
std::string RelText(const std::filesystem::path& rel);

} // namespace kvtool
