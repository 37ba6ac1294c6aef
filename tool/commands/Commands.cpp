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

int RunCommand(const std::vector<std::wstring>& vecArgs)
{
    if (vecArgs.empty())
        throw CUsageError("no command given (verify, compare, check, checksum, describe or demo)");
    const std::wstring& strCommand = vecArgs.front();
    const std::vector<std::wstring> vecRest(vecArgs.begin() + 1, vecArgs.end());
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
        CFileSink(stdout).Write(UsageText());
        return EXIT_OK;
    }
    if (strCommand == L"--version") {
        CFileSink(stdout).Write("korvane, library revision " + std::to_string(KORVANE_REVISION / 10) + "." +
                                std::to_string(KORVANE_REVISION % 10) + "\n");
        return EXIT_OK;
    }
    throw CUsageError("unknown command '" + Utf8FromWide(strCommand) + "'");
}

} // namespace kvtool
