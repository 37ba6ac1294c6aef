// The sizes of a file pair, as the library's own file layer reports them:
// what the problem tracker asks when a report could be either kind.
#pragma once

#include <string>

namespace kvtool {

// 1 when the two files' sizes differ, 0 when equal, -1 when either cannot
// be looked up. Paths as the library takes them.
int CompareFileSizes(const std::wstring& strSource, const std::wstring& strTarget);
// One file's size through the same layer; false when it cannot be looked up.
bool LibraryFileSize(const std::wstring& strPath, unsigned long long& ullSize);

} // namespace kvtool
