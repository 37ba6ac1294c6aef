// The walk the copy commands make of a tree: every entry below a root with
// its path relative to it ('/'-separated UTF-8), folders before what they
// hold, in name order. "System Volume Information" folders are left out,
// as the library leaves them out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace kvtool {

struct CWalkEntry {
    std::string strRel;                           // "docs/a.txt"
    std::filesystem::path::string_type strNative; // native, below the root
    bool bFolder = false;
    bool bFile = false; // a regular file (a link to one counts)
    // Where the walk looked at a file already (WalkTree's bLookAtFiles, on
    // systems whose listing does not give them): what WriteTimeText gives.
    bool bLooked = false;
    std::uintmax_t ullSize = static_cast<std::uintmax_t>(-1);
    std::wstring strWriteTime;

    std::filesystem::path Path() const { return std::filesystem::path(strNative); }
};

// A folder the walk could not list (the root included, with strRel ""),
// and the system's reason: what it holds is not given, so the caller says
// so rather than pass what it never saw.
using FnUnlisted = std::function<void(const CWalkEntry& folder, const std::string& strReason)>;

// fnVisit returns whether to walk into a folder (ignored for the rest).
// bLookAtFiles: also give the size and write time of files where the walk
// can do it for less than a look of its own per file.
void WalkTree(const std::filesystem::path& root, const std::function<bool(const CWalkEntry&)>& fnVisit,
              const FnUnlisted& fnUnlisted, bool bLookAtFiles = false);
// Text of a native relative path as WalkTree gives it.
std::string RelText(const std::filesystem::path& rel);

} // namespace kvtool
