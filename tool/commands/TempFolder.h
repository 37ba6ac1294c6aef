// The temporary folders a command makes, removed on every way out: when
// their guard goes, and before the process ends from inside a library call,
// where no destructor runs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kvtool {

// A new folder below the system's temporary folder, "korvane-KIND-NNNNNNNNN".
std::filesystem::path MakeTempFolder(const std::string& strKind);

class CTempFolderGuard {
  public:
    // bKeep: the folders stay (demo --keep).
    explicit CTempFolderGuard(std::vector<std::filesystem::path> vecFolders, bool bKeep = false);
    ~CTempFolderGuard();
    CTempFolderGuard(const CTempFolderGuard&) = delete;
    CTempFolderGuard& operator=(const CTempFolderGuard&) = delete;

    void Add(std::filesystem::path folder) { m_vecFolders.push_back(std::move(folder)); }
    void Remove();

  private:
    std::vector<std::filesystem::path> m_vecFolders;
    bool m_bKeep;
};

// Every guarded folder not kept, removed now: the process is about to end.
void RemoveTempFolders();

} // namespace kvtool
