// The files a description lists, entry by entry: a file entry itself, a
// folder entry every file below its folder, each with its path below the
// disc root.
#pragma once

#include "description/FileWalk.h"
#include "description/MediaDescription.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kvtool {

struct CDescribedFile {
    std::string strRel;           // below the disc root, '/'-separated: "Apps/tools/a.txt"
    std::filesystem::path native; // the source as a native file
    std::wstring strLibrary;      // or (Linux, a drive path) as the library reads it; else empty
};

// The source as the user would name it, escaped for a message.
std::string ShownSource(const CDescribedFile& file);
// "\Apps\tools" to "Apps/tools"; the root to "".
std::string DiscRel(const std::wstring& strDiscPath);
// Appends the files of one entry; a folder that cannot be listed goes to
// fnUnlisted.
void ListEntryFiles(const CDescribedEntry& entry, std::vector<CDescribedFile>& vecFiles,
                    const FnUnlisted& fnUnlisted);
// Throws CUsageError when two sources would be one file on the disc: two
// entries at one place, one of them a file, or two folders there that hold
// a file at the same place below. Names compare in any case, as a disc
// read on Windows compares them.
void RefuseCollisions(const CMediaDescription& desc);

} // namespace kvtool
