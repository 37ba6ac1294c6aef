#include "commands/ChecksumCommand.h"

#include "commands/CommandLine.h"
#include "host/FileState.h"
#include "host/HostPath.h"
#include "output/Console.h"
#include "output/ProblemLine.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <KorvaneChecksum.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <system_error>

namespace kvtool {

std::string ChecksumLine(unsigned long ulChecksum, const std::wstring& strShownPath)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "%08lx", ulChecksum & 0xFFFFFFFFUL);
    return std::string(sz) + "  " + Utf8FromWide(strShownPath) + "\n";
}

namespace {

// Standard input copied to a file of its own, which the library can open
// by name; removed when done.
class CSpooledInput {
  public:
    CSpooledInput()
    {
        std::error_code ec;
        m_path =
            std::filesystem::temp_directory_path(ec) /
            ("korvane-stdin-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        FILE* pOut = OpenForWriting(WideFromNative(m_path));
        if (!pOut)
            throw std::runtime_error("checksum: cannot make a temporary file for standard input");
        char ach[65536];
        size_t n;
        bool bOk = true;
        while ((n = std::fread(ach, 1, sizeof ach, stdin)) > 0)
            bOk = bOk && std::fwrite(ach, 1, n, pOut) == n;
        bOk = !std::ferror(stdin) && std::fclose(pOut) == 0 && bOk;
        if (!bOk) {
            Remove();
            throw std::runtime_error("checksum: cannot read standard input");
        }
    }
    ~CSpooledInput() { Remove(); }
    CSpooledInput(const CSpooledInput&) = delete;
    CSpooledInput& operator=(const CSpooledInput&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

  private:
    void Remove()
    {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
    }
    std::filesystem::path m_path;
};

} // namespace

int ChecksumCommand(const std::vector<std::wstring>& vecArgs)
{
    CParsedArgs args = ParseArgs(vecArgs, {});
    if (args.Positionals().empty())
        throw CUsageError("checksum: no FILE given");
    CFileSink out(stdout);
    CFileSink err(stderr);
    int iExit = EXIT_OK;
    for (const std::wstring& strFile : args.Positionals()) {
        if (OutputReaderGone())
            break; // nobody reads the sums
        if (strFile == L"-") {
            CSpooledInput input;
            out.Write(ChecksumLine(KorvaneFileChecksum(LibraryPathOf(input.Path()).c_str()), strFile));
            continue;
        }
        std::filesystem::path path = AbsoluteNative(strFile);
        // 0xFFFFFFFF is also a possible sum: whether the file opens is asked
        // here; and a device or FIFO is refused before anything waits on it.
        std::string strReason;
        if (ExamineFile(path, strReason) != EFileState::Fine) {
#if defined(_WIN32)
            const std::string strShown =
                Utf8FromWide(strFile); // "\" separates; no control characters in names
#else
            const std::string strShown = EscapeControls(Utf8FromWide(strFile));
#endif
            err.Write("korvane: checksum: cannot read " + strShown + ": " + strReason + "\n");
            iExit = EXIT_FAILED;
            continue;
        }
        DWORD dwSum = KorvaneFileChecksum(LibraryPathOf(path).c_str());
        out.Write(ChecksumLine(dwSum, strFile));
    }
    if (out.Failed()) {
        TellWriteFailure(out);
        return EXIT_OTHER;
    }
    return iExit;
}

} // namespace kvtool
