// korvane: a command-line host of the Korvane library.
#include "commands/ChecksumCommand.h"
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
#include <exception>
#include <string>
#include <vector>

namespace {

int Run(const std::vector<std::wstring>& vecArgs)
{
    using namespace kvtool;
    if (vecArgs.empty())
        throw CUsageError("no command given (verify, checksum, describe or demo)");
    const std::wstring& strCommand = vecArgs.front();
    const std::vector<std::wstring> vecRest(vecArgs.begin() + 1, vecArgs.end());
    if (strCommand == L"verify")
        return VerifyCommand(vecRest);
    if (strCommand == L"checksum")
        return ChecksumCommand(vecRest);
    if (strCommand == L"describe")
        return DescribeCommand(vecRest);
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

int Main(const std::vector<std::wstring>& vecArgs)
{
    kvtool::PrepareProcess();
    try {
        return Run(vecArgs);
    } catch (const kvtool::CUsageError& e) {
        kvtool::CFileSink(stderr).Write(std::string("korvane: ") + e.what() + " (see 'korvane help')\n");
        return kvtool::EXIT_USAGE;
    } catch (const std::exception& e) {
        kvtool::CFileSink(stderr).Write(std::string("korvane: ") + e.what() + "\n");
        return kvtool::EXIT_OTHER;
    } catch (...) {
        kvtool::CFileSink(stderr).Write("korvane: unexpected failure\n");
        return kvtool::EXIT_OTHER;
    }
}

} // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv)
{
    return Main(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv)
{
    std::vector<std::wstring> vecArgs;
    for (int i = 1; i < argc; ++i)
        vecArgs.push_back(kvtool::WideFromUtf8(argv[i]));
    return Main(vecArgs);
}
#endif
