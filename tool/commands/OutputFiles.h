// The files a run writes besides its standard streams (--events,
// --events-raw): opened once, and refused when they are one of the run's
// inputs, which writing would change or which would then be read.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvtool {

// Closes the file, unless it is standard output.
struct CFileCloser {
    void operator()(FILE* pFile) const
    {
        if (pFile && pFile != stdout)
            std::fclose(pFile);
    }
};
using COutputFile = std::unique_ptr<FILE, CFileCloser>;

// What a run reads.
struct CRunInputs {
    std::vector<std::filesystem::path> vecFiles;   // read as they are (the description, the manifest)
    std::vector<std::filesystem::path> vecFolders; // read with everything below them
    std::function<bool(const std::filesystem::path&)> fnListed; // a file the list names; may be empty
};

// Throws CUsageError("COMMAND: the WHAT file PATH is one of the run's inputs")
// when strOutput (a native path; "" and "-" are never inputs) is one.
void RefuseInput(const std::string& strCommand, const char* pszWhat, const std::wstring& strOutput,
                 const CRunInputs& inputs);
// The file opened for writing ("-": standard output; "": none, a null
// pointer). Throws CannotWrite's error when it cannot be.
COutputFile OpenOutput(const std::string& strCommand, const char* pszWhat, const std::wstring& strPath);
// "COMMAND: cannot write the WHAT file PATH: REASON" (no reason for an
// iError of 0): a failed write, not bad usage.
std::runtime_error CannotWrite(const std::string& strCommand, const char* pszWhat,
                               const std::wstring& strPath, int iError);

} // namespace kvtool
