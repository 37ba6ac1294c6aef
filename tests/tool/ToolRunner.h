// Runs the built korvane program, found next to the test program, with its
// standard streams in files, and tells what it printed and returned.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kvtooltest {

struct CToolRun {
    int iExit = -1;
    std::string strOut; // standard output, UTF-8
    std::string strErr; // standard error, UTF-8
};

std::filesystem::path ToolPath();
// strInput is fed to the program's standard input. bBoundByPermissions (Linux):
// file permissions bind the program even when the tests run as root.
CToolRun RunTool(const std::vector<std::wstring>& vecArgs, const std::string& strInput = std::string(),
                 bool bBoundByPermissions = false);

// The lines of a text, without their line ends (a final empty line dropped).
std::vector<std::string> Lines(const std::string& strText);
// The value of a summary line ("  files checked: 3" gives "3"); "" when missing.
std::string SummaryValue(const std::string& strOut, const std::string& strName);

} // namespace kvtooltest
