#include "description/MediaDescription.h"

#include "description/FileTime.h"
#include "host/HostPath.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <DescriptionRules.h>

#include <system_error>

namespace kvtool {

std::wstring NormalizeTargetPath(const std::wstring& strTarget)
{
    std::wstring strOut;
    for (wchar_t c : strTarget) {
        if (c == L'/')
            c = L'\\';
        if (c == L'\\' && !strOut.empty() && strOut.back() == L'\\')
            continue;
        strOut += c;
    }
    if (strOut.empty() || strOut[0] != L'\\')
        strOut.insert(strOut.begin(), L'\\');
    if (strOut.size() > 1 && strOut.back() == L'\\')
        strOut.pop_back();
    return strOut;
}

namespace {

std::wstring JoinBelowRoot(const std::wstring& strFolder, const std::wstring& strName)
{
    return strFolder == L"\\" ? strFolder + strName : strFolder + L"\\" + strName;
}

// The library skips such folders wherever they lie; so do the totals.
bool IsSkippedFolder(const std::filesystem::path& path)
{
    return WideFromNative(path).find(L"System Volume Information") != std::wstring::npos;
}

void AddFolderTotals(const std::filesystem::path& folder, unsigned long long& ullFiles,
                     unsigned long long& ullBytes)
{
    std::error_code ec;
    auto it = std::filesystem::recursive_directory_iterator(
        folder, std::filesystem::directory_options::skip_permission_denied, ec);
    for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ecEntry;
        if (it->is_directory(ecEntry)) {
            if (IsSkippedFolder(it->path()))
                it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(ecEntry))
            continue;
        ++ullFiles;
        ullBytes += it->file_size(ecEntry);
    }
}

} // namespace

CMediaDescription DescribeSources(const std::vector<std::filesystem::path>& vecSources,
                                  const std::wstring& strTarget)
{
    CMediaDescription desc;
    const std::wstring strBelow = NormalizeTargetPath(strTarget);
    for (const std::filesystem::path& source : vecSources) {
        std::filesystem::path path = std::filesystem::absolute(source).lexically_normal();
        if (!path.has_filename() && path.has_parent_path())
            path = path.parent_path(); // "tools/" names the folder tools
        const std::string strShown = Utf8FromWide(WideFromNative(source));
        std::error_code ec;
        std::filesystem::file_status status = std::filesystem::status(path, ec);
        if (ec || !std::filesystem::exists(status))
            throw CUsageError("source " + strShown + " not found");

        CDescribedEntry entry;
        entry.strName = LibraryTextOf(path.filename());
        entry.strWriteTime = WriteTimeText(path);
        if (std::filesystem::is_directory(status)) {
            if (entry.strName.empty())
                throw CUsageError("source " + strShown + " is a root folder; give the folders below it");
            // The library drops "*.*" and then the last "\": what is left is the folder.
            entry.strFullPath = LibraryPathOf(path) + L"\\" + kvdesc::kEveryFile;
            entry.strTargetPath = JoinBelowRoot(strBelow, entry.strName);
            entry.strPath = entry.strTargetPath;
            entry.dwAttribute = FILE_ATTRIBUTE_DIRECTORY;
            unsigned long long ullFiles = 0;
            AddFolderTotals(path, ullFiles, entry.ullFileSize);
            desc.ullFileCount += ullFiles;
        } else {
            entry.strFullPath = LibraryPathOf(path);
            entry.strTargetPath = strBelow;
            entry.strPath = JoinBelowRoot(strBelow, entry.strName);
            entry.dwAttribute = FILE_ATTRIBUTE_ARCHIVE;
            entry.ullFileSize = std::filesystem::file_size(path, ec);
            if (ec)
                throw CUsageError("source " + strShown + ": cannot read its size");
            desc.ullFileCount += 1;
        }
        desc.ullMediaSize += entry.ullFileSize;
        desc.vecEntries.push_back(entry);
    }
    return desc;
}

} // namespace kvtool
