// korvane checksum FILE...: each file's disc checksum, as sha256sum prints
// its sums: eight hex digits, two spaces, the path as given.
#pragma once

#include <string>
#include <vector>

namespace kvtool {

// "736fdbf8  abc.txt".
std::string ChecksumLine(unsigned long ulChecksum, const std::wstring& strShownPath);
int ChecksumCommand(const std::vector<std::wstring>& vecArgs);

} // namespace kvtool
