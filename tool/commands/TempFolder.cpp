#include "commands/TempFolder.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <system_error>

namespace kvtool {

namespace {

std::vector<CTempFolderGuard*>& Guards()
{
    static std::vector<CTempFolderGuard*> vecGuards;
    return vecGuards;
}

} // namespace

std::filesystem::path MakeTempFolder(const std::string& strKind)
{
    std::random_device rd;
    const auto ullTicks =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("korvane-" + strKind + "-" + std::to_string((ullTicks ^ rd()) % 1000000000ULL));
    std::filesystem::create_directories(path);
    return path;
}

CTempFolderGuard::CTempFolderGuard(std::vector<std::filesystem::path> vecFolders, bool bKeep)
    : m_vecFolders(std::move(vecFolders)), m_bKeep(bKeep)
{
    Guards().push_back(this);
}

CTempFolderGuard::~CTempFolderGuard()
{
    Remove();
    auto& vecGuards = Guards();
    vecGuards.erase(std::remove(vecGuards.begin(), vecGuards.end(), this), vecGuards.end());
}

void CTempFolderGuard::Remove()
{
    if (m_bKeep)
        return;
    std::error_code ec;
    for (const std::filesystem::path& folder : m_vecFolders)
        std::filesystem::remove_all(folder, ec);
}

void RemoveTempFolders()
{
    for (CTempFolderGuard* pGuard : Guards())
        pGuard->Remove();
}

} // namespace kvtool
