#include "description/FileWalk.h"

#include "output/Text.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace kvtool {

// Linux names are bytes (UTF-8): a wide form of them would go through the
// C locale, which holds no character above ASCII.
#if defined(_WIN32)
std::string RelText(const std::filesystem::path& rel) { return Utf8FromWide(WideFromNative(rel.generic_wstring())); }
#else
std::string RelText(const std::filesystem::path& rel) { return rel.generic_string(); }
#endif

namespace {

void WalkFolder(const std::filesystem::path& folder, const std::string& strPrefix,
                const std::function<bool(const CWalkEntry&)>& fnVisit)
{
    std::vector<std::filesystem::directory_entry> vecEntries;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        vecEntries.push_back(*it);
    std::sort(vecEntries.begin(), vecEntries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& entry : vecEntries) {
        CWalkEntry walked;
        walked.path = entry.path();
        walked.strRel = strPrefix + RelText(entry.path().filename());
        std::error_code ecType;
        // A link to a folder is not walked into: it could lead back up.
        walked.bFolder = entry.is_directory(ecType) && !entry.is_symlink(ecType);
        walked.bFile = !walked.bFolder && entry.is_regular_file(ecType);
        if (walked.bFolder && entry.path().filename() == "System Volume Information")
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
