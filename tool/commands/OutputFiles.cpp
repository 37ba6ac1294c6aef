#include "commands/OutputFiles.h"

#include "output/Console.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <cerrno>
#include <system_error>

namespace kvtool {

void RefuseInput(const std::string& strCommand, const char* pszWhat, const std::wstring& strOutput,
                 const CRunInputs& inputs)
{
    if (strOutput.empty() || strOutput == L"-")
        return;
    const std::filesystem::path output = NativePath(strOutput);
    std::error_code ec;
    bool bInput = false;
    if (std::filesystem::exists(output, ec)) {
        for (const std::filesystem::path& file : inputs.vecFiles)
            bInput = bInput || std::filesystem::equivalent(output, file, ec);
        bInput = bInput || (inputs.fnListed && inputs.fnListed(output));
    }
    // Not there yet, it would still appear below a folder that is read.
    for (std::filesystem::path folder = output.parent_path(); !bInput && !folder.empty();
         folder = folder.parent_path()) {
        for (const std::filesystem::path& read : inputs.vecFolders)
            bInput = bInput || std::filesystem::equivalent(folder, read, ec);
        if (folder == folder.parent_path())
            break;
    }
    if (bInput)
        throw CUsageError(strCommand + ": the " + pszWhat + " file " + Utf8FromWide(strOutput) +
                          " is one of the run's inputs");
}

COutputFile OpenOutput(const std::string& strCommand, const char* pszWhat, const std::wstring& strPath)
{
    COutputFile file;
    if (strPath.empty())
        return file;
    errno = 0;
    file.reset(strPath == L"-" ? stdout : OpenForWriting(strPath));
    if (!file)
        throw CannotWrite(strCommand, pszWhat, strPath, errno);
    return file;
}

std::runtime_error CannotWrite(const std::string& strCommand, const char* pszWhat,
                               const std::wstring& strPath, int iError)
{
    return std::runtime_error(strCommand + ": cannot write the " + pszWhat + " file " +
                              Utf8FromWide(strPath) +
                              (iError ? ": " + SystemMessage(iError) : std::string()));
}

} // namespace kvtool
