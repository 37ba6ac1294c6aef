// How a VerifyBurning result is shown and which exit code it gives.
#pragma once

#include <windows.h>

#include <string>

namespace kvtool {

// Exit codes of the tool.
enum EExitCode {
    EXIT_OK = 0,
    EXIT_FAILED = 1,
    EXIT_ABORTED = 2,
    EXIT_USAGE = 3,
    EXIT_OTHER = 4,
    EXIT_INTERRUPTED = 130,
    // 128 + SIGPIPE: as the shell shows a program that a pipe's closing ended.
    EXIT_READER_GONE = 141
};

// "S_OK", "E_FAIL", ... or empty for a code without a name here.
std::string ResultName(HRESULT hr);
// "E_FAIL (0x80004005)", or "0x80070002" alone for a code without a name.
std::string ResultText(HRESULT hr);
// 0 S_OK, 1 E_FAIL, 2 E_ABORT, 3 E_INVALIDARG, 4 anything else.
int ExitCodeFor(HRESULT hr);

} // namespace kvtool
