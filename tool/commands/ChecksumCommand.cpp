#include "commands/ChecksumCommand.h"

#include "commands/CommandLine.h"
#include "commands/TempFolder.h"
#include "host/FileState.h"
#include "host/HostPath.h"
#include "host/NativeName.h"
#include "output/Console.h"
#include "output/ProblemLine.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <KorvaneChecksum.h>

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
// by name, in a private folder removed on every way out.
class CSpooledInput {
  public:
    CSpooledInput() : m_folder(MakeTempFolder("stdin")), m_guard({m_folder}), m_path(m_folder / "input")
    {
        FILE* pOut = OpenForWriting(WideFromNative(m_path));
        if (!pOut)
            throw std::runtime_error("checksum: cannot make a temporary file for standard input");
        char ach[65536];
        size_t n;
        bool bWritten = true;
        while ((n = std::fread(ach, 1, sizeof ach, stdin)) > 0)
            bWritten = bWritten && std::fwrite(ach, 1, n, pOut) == n;
        bWritten = std::fclose(pOut) == 0 && bWritten;
        if (std::ferror(stdin))
            throw std::runtime_error("checksum: cannot read standard input");
        if (!bWritten)
            throw std::runtime_error("checksum: cannot write the copy of standard input in " +
                                     EscapeControls(ShownPath(m_folder)));
    }
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_folder;
    CTempFolderGuard m_guard;
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
