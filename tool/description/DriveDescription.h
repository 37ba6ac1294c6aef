// Sources on a drive the Win32 layer reads (Linux): a folder or a disc
// image mapped to a letter, described through the library's own calls, so
// that a description can name what a disc image holds.
#pragma once

#include "description/MediaDescription.h"

#include <string>

namespace kvtool {

// Adds one entry per source as DescribeSources does, for a source given as
// a drive path ("E:\docs", "E:\docs\a.txt"); "E:\" adds every entry at the
// drive's root. Throws CUsageError for a source that is not there.
void DescribeDriveSource(const std::wstring& strSource, const std::wstring& strTarget,
                         CMediaDescription& desc);

} // namespace kvtool
