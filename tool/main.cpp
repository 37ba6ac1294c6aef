// korvane: a command-line host of the Korvane library.
#include "commands/Commands.h"
#include "output/Console.h"
#include "output/ProblemLine.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

int Main(const std::vector<std::wstring>& vecArgs)
{
    kvtool::PrepareProcess();
    try {
        return kvtool::RunCommand(vecArgs);
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
    kvtool::EndProcess(Main(std::vector<std::wstring>(argv + 1, argv + argc)));
}
#else
int main(int argc, char** argv)
{
    std::vector<std::wstring> vecArgs;
    for (int i = 1; i < argc; ++i) {
        // The tool and the library take text: such a path would name another
        // file, or none, and the error would not say why.
        if (!kvtool::IsUtf8(argv[i])) {
            kvtool::CFileSink(stderr).Write("korvane: " + kvtool::EscapeControls(argv[i]) +
                                            ": not UTF-8, which korvane cannot take as an argument\n");
            return kvtool::EXIT_USAGE;
        }
        vecArgs.push_back(kvtool::WideFromUtf8(argv[i]));
    }
    kvtool::EndProcess(Main(vecArgs));
}
#endif
