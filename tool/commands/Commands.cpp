#include "commands/Commands.h"

#include "commands/CheckCommand.h"
#include "commands/ChecksumCommand.h"
#include "commands/CompareCommand.h"
#include "commands/DemoCommand.h"
#include "commands/DescribeCommand.h"
#include "commands/Usage.h"
#include "commands/VerifyCommand.h"
#include "output/Console.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <KorvaneRevision.h>

#include <cstdio>

namespace kvtool {

namespace {

// Standard output's text; a write that fails is an error.
int WriteOut(const std::string& strText)
{
    CFileSink out(stdout);
    out.Write(strText);
    if (!out.Failed())
        return EXIT_OK;
    TellWriteFailure(out);
    return EXIT_OTHER;
}

std::string VersionText()
{
    return std::string("korvane ") + KORVANE_TOOL_VERSION + " (commit " + KORVANE_TOOL_COMMIT +
           "), library revision " + std::to_string(KORVANE_REVISION / 10) + "." +
           std::to_string(KORVANE_REVISION % 10) + "\n";
}

} // namespace

int RunCommand(const std::vector<std::wstring>& vecArgs)
{
    if (vecArgs.empty())
        throw CUsageError("no command given (verify, compare, check, checksum, describe or demo)");
    const std::wstring& strCommand = vecArgs.front();
    const std::vector<std::wstring> vecRest(vecArgs.begin() + 1, vecArgs.end());
    // "korvane verify --help": the help of that command, whatever else is given.
    const std::string strCommandHelp = CommandUsage(Utf8FromWide(strCommand));
    for (const std::wstring& strArg : vecRest) {
        if (strArg == L"--")
            break;
        if (!strCommandHelp.empty() && (strArg == L"--help" || strArg == L"-h"))
            return WriteOut(strCommandHelp);
    }
    if (strCommand == L"verify")
        return VerifyCommand(vecRest);
    if (strCommand == L"checksum")
        return ChecksumCommand(vecRest);
    if (strCommand == L"describe")
        return DescribeCommand(vecRest);
    if (strCommand == L"compare")
        return CompareCommand(vecRest);
    if (strCommand == L"check")
        return CheckCommand(vecRest);
    if (strCommand == L"demo")
        return DemoCommand(vecRest);
    if (strCommand == L"help" || strCommand == L"--help" || strCommand == L"-h") {
        if (!vecRest.empty()) {
            const std::string strHelp = CommandUsage(Utf8FromWide(vecRest.front()));
            if (strHelp.empty())
                throw CUsageError("no command '" + Utf8FromWide(vecRest.front()) + "'");
            return WriteOut(strHelp);
        }
        return WriteOut(UsageText());
    }
    if (strCommand == L"--version")
        return WriteOut(VersionText());
    throw CUsageError("unknown command '" + Utf8FromWide(strCommand) + "'");
}

} // namespace kvtool
