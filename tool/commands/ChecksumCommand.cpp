#include "commands/ChecksumCommand.h"

#include "commands/CommandLine.h"
#include "host/HostPath.h"
#include "output/Console.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <KorvaneChecksum.h>

#include <cstdio>
#include <fstream>
#include <system_error>

namespace kvtool {

std::string ChecksumLine(unsigned long ulChecksum, const std::wstring& strShownPath)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "%08lx", ulChecksum & 0xFFFFFFFFUL);
    return std::string(sz) + "  " + Utf8FromWide(strShownPath) + "\n";
}

int ChecksumCommand(const std::vector<std::wstring>& vecArgs)
{
    CParsedArgs args = ParseArgs(vecArgs, {});
    if (args.Positionals().empty())
        throw CUsageError("checksum: no FILE given");
    CFileSink out(stdout);
    CFileSink err(stderr);
    int iExit = EXIT_OK;
    for (const std::wstring& strFile : args.Positionals()) {
        std::filesystem::path path = AbsoluteNative(strFile);
        // 0xFFFFFFFF is also a possible sum: whether the file opens is asked here.
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec) || !std::ifstream(path, std::ios::binary)) {
            err.Write("korvane: checksum: cannot open " + Utf8FromWide(strFile) + "\n");
            iExit = EXIT_FAILED;
            continue;
        }
        DWORD dwSum = KorvaneFileChecksum(LibraryPathOf(path).c_str());
        out.Write(ChecksumLine(dwSum, strFile));
    }
    return iExit;
}

} // namespace kvtool
