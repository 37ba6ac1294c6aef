// The temporary folders a command makes, removed on every way out: when
// their guard goes, and before the process ends from inside a library call,
// where no destructor runs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kvtool {

// A new folder below the system's temporary folder, "korvane-KIND-XXXXXX",
// that no one else can read (on Linux made as mkdtemp makes it, mode 0700).
// Never one that was there already: a folder or link of that name could be
// another user's. Throws std::runtime_error naming the folder and why.
std::filesystem::path MakeTempFolder(const std::string& strKind);

class CTempFolderGuard {
  public:
    explicit CTempFolderGuard(std::vector<std::filesystem::path> vecFolders);
    ~CTempFolderGuard();
    CTempFolderGuard(const CTempFolderGuard&) = delete;
    CTempFolderGuard& operator=(const CTempFolderGuard&) = delete;

    void Add(std::filesystem::path folder) { m_vecFolders.push_back(std::move(folder)); }
    void Remove();
    // From now on the folders stay (demo --keep, once they hold something).
    void Keep() { m_bKeep = true; }

  private:
    std::vector<std::filesystem::path> m_vecFolders;
    bool m_bKeep = false;
};

// Every guarded folder not kept, removed now: the process is about to end.
void RemoveTempFolders();

} // namespace kvtool
