// What the tool can tell about a file of a pair by looking at it itself:
// the library says "differs" or "missing" for a file it could not open, a
// link that leads nowhere and a FIFO alike.
#pragma once

#include "output/ProblemLine.h"

#include <filesystem>
#include <string>

namespace kvtool {

enum class EFileState { Fine, Absent, NotAFile, Unreadable };

// Fine: a regular file that opens and reads. strReason says why otherwise
// ("fifo", "dangling link", the system's message).
EFileState ExamineFile(const std::filesystem::path& pathNative, std::string& strReason);
// "a folder", "a FIFO", "a socket", "a block device", "a character device";
// "not a regular file" for any other type.
const char* FileTypeName(std::filesystem::file_type eType);
// Whether the whole file reads, to its end; strReason says why not. The
// library sums what a failed read did not give as zeros, so a file with a
// bad sector part way looks like one with other bytes.
bool ReadsThrough(const std::filesystem::path& pathNative, std::string& strReason);

} // namespace kvtool
