#include "description/FileWalk.h"

#include "output/Text.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace kvtool {

std::string RelText(const std::filesystem::path& rel)
{
#if defined(_WIN32)
    return Utf8FromWide(rel.generic_wstring());
#else
    // Never through the C++ locale, which is "C" here and refuses non-ASCII names.
    return Utf8FromWide(WideFromNative(rel));
#endif
}

namespace {

void WalkFolder(const std::filesystem::path& folder, const std::string& strPrefix,
                const std::function<bool(const CWalkEntry&)>& fnVisit)
{
    // Each name once, sorted as text: comparing paths splits them again on
    // every comparison. For one name the two orders are the same.
    std::vector<std::pair<std::filesystem::path::string_type, std::filesystem::directory_entry>> vecEntries;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        vecEntries.emplace_back(it->path().filename().native(), *it);
    std::sort(vecEntries.begin(), vecEntries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [strName, entry] : vecEntries) {
        CWalkEntry walked;
        walked.path = entry.path();
        walked.strRel = strPrefix + RelText(std::filesystem::path(strName));
        std::error_code ecType;
        // A link to a folder is not walked into: it could lead back up.
        walked.bFolder = entry.is_directory(ecType) && !entry.is_symlink(ecType);
        walked.bFile = !walked.bFolder && entry.is_regular_file(ecType);
        if (walked.bFolder && std::filesystem::path(strName) == "System Volume Information")
            continue;
        if (fnVisit(walked) && walked.bFolder)
            WalkFolder(walked.path, walked.strRel + "/", fnVisit);
    }
}

} // namespace

void WalkTree(const std::filesystem::path& root, const std::function<bool(const CWalkEntry&)>& fnVisit)
{
    WalkFolder(root, std::string(), fnVisit);
}

} // namespace kvtool
