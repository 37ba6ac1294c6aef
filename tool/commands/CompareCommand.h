// korvane compare SOURCE COPY [--ignore-case] [--on-error continue|fail|abort] [--quiet]
//
// A copy checked in one command. SOURCE/ (a final slash) compares the
// folder's contents with COPY's; SOURCE without it expects the folder
// itself at COPY/<name>, as rsync places it. A file SOURCE is compared with
// COPY/<name> when COPY is a folder, else with COPY. The tool describes the
// source files in a private temporary folder, gives the library a drive
// that leads to the copy, and lets VerifyBurning compare; it then walks the
// copy itself for files the source does not have (EXTRA).
#pragma once

#include <string>
#include <vector>

namespace kvtool {

int CompareCommand(const std::vector<std::wstring>& vecArgs);
// Names compared without regard to case: A-Z folded to a-z, other
// characters as they are.
std::string FoldCase(const std::string& strUtf8);

} // namespace kvtool
