#include "commands/TempFolder.h"

#include "host/NativeName.h"
#include "output/ProblemLine.h"

#include <algorithm>
#include <random>
#include <stdexcept>
#include <system_error>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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
    std::error_code ecBase;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ecBase);
    if (ecBase)
        throw std::runtime_error(
            "cannot make a temporary folder: the folder for temporary files (TMPDIR, TMP or "
            "TEMP) cannot be used: " +
            ecBase.message());
#if defined(_WIN32)
    // The temporary folder is the user's own here; only the name must be new.
    std::random_device rd;
    std::error_code ec;
    for (int iTry = 0; iTry < 100; ++iTry) {
        static const char kszLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::string strName = "korvane-" + strKind + "-";
        for (int i = 0; i < 6; ++i)
            strName += kszLetters[rd() % (sizeof kszLetters - 1)];
        const std::filesystem::path path = base / strName;
        if (std::filesystem::create_directory(path, ec))
            return path;
        if (ec && ec != std::errc::file_exists)
            break;
    }
    throw std::runtime_error("cannot make a temporary folder in " + EscapeControls(ShownPath(base)) + ": " +
                             (ec ? ec.message() : "every name tried is taken"));
#else
    std::string strTemplate = (base / ("korvane-" + strKind + "-XXXXXX")).string();
    if (!::mkdtemp(strTemplate.data()))
        throw std::runtime_error("cannot make a temporary folder in " + EscapeControls(ShownPath(base)) +
                                 ": " + std::strerror(errno));
    return strTemplate;
#endif
}

CTempFolderGuard::CTempFolderGuard(std::vector<std::filesystem::path> vecFolders)
    : m_vecFolders(std::move(vecFolders))
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
