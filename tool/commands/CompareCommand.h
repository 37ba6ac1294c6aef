// korvane compare SOURCE COPY [--ignore-case] [--on-error continue|fail|abort]
//                 [--quiet|--status] [--events FILE|-] [--log FILE]
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

// Runs as verify does (RunVerify): the same lines, summary and exit status.
int CompareCommand(const std::vector<std::wstring>& vecArgs);

} // namespace kvtool
