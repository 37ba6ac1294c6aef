// The library walks a folder entry's source alone: a source folder that
// holds nothing is never looked for on the disc, and a run would pass
// without it. These are the folders to look for.
#pragma once

#include "description/DescriptionIndex.h"

#include <string>
#include <vector>

namespace kvtool {

struct CEmptyFolder {
    std::wstring strSource; // library paths, without a final "\"
    std::wstring strDisc;
};

// For each folder entry, the folders of its source tree that hold no entry
// at all, the entry's own folder too. Only these need looking for on the
// disc: a folder above one of them is there when it is, and one that holds
// anything is looked into by the library. A folder that cannot be listed is
// not among them (the library's report names it).
std::vector<CEmptyFolder> EmptySourceFolders(const CDescriptionIndex& index);

} // namespace kvtool
