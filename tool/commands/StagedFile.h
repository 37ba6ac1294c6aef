// A file a command writes whole or not at all: its text goes to a neighbour
// ("NAME.part") first and is renamed over NAME on Commit, so until then NAME
// keeps what it held, and a run that fails halfway leaves no half a file (nor
// a new description beside an old manifest).
#pragma once

#include <filesystem>
#include <string>

namespace kvtool {

class CStagedFile {
  public:
    // Throws std::runtime_error("COMMAND: cannot write PATH: reason").
    CStagedFile(const std::string& strCommand, std::filesystem::path file, const std::string& strText);
    // Removes the neighbour when never committed.
    ~CStagedFile();
    CStagedFile(const CStagedFile&) = delete;
    CStagedFile& operator=(const CStagedFile&) = delete;

    // Throws as the constructor does.
    void Commit();
    const std::filesystem::path& Path() const { return m_file; }

  private:
    [[noreturn]] void Fail(const std::string& strReason) const;

    std::string m_strCommand;
    std::filesystem::path m_file;
    std::filesystem::path m_part;
    bool m_bCommitted = false;
};

} // namespace kvtool
