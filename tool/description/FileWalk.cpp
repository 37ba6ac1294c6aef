#include "description/FileWalk.h"

#include "description/FileTime.h"
#include "output/Console.h"
#include "output/Text.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#if !defined(_WIN32)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

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

bool IsLeftOut(const std::filesystem::path::string_type& strName, bool bFolder)
{
    static const std::filesystem::path::string_type strSystem =
        std::filesystem::path("System Volume Information").native();
    return bFolder && strName == strSystem;
}

#if defined(_WIN32)
void WalkFolder(const CWalkEntry& folder, const std::function<bool(const CWalkEntry&)>& fnVisit,
                const FnUnlisted& fnUnlisted)
{
    const std::string strPrefix = folder.strRel.empty() ? std::string() : folder.strRel + "/";
    // Each name once, sorted as text: comparing paths splits them again on
    // every comparison. For one name the two orders are the same.
    std::vector<std::pair<std::filesystem::path::string_type, std::filesystem::directory_entry>> vecEntries;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.Path(), ec), end; !ec && it != end; it.increment(ec))
        vecEntries.emplace_back(it->path().filename().native(), *it);
    if (ec) {
        fnUnlisted(folder, ec.message());
        return;
    }
    std::sort(vecEntries.begin(), vecEntries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [strName, entry] : vecEntries) {
        CWalkEntry walked;
        walked.strNative = entry.path().native();
        walked.strRel = strPrefix + RelText(std::filesystem::path(strName));
        std::error_code ecType;
        // A link to a folder is not walked into: it could lead back up.
        walked.bFolder = entry.is_directory(ecType) && !entry.is_symlink(ecType);
        walked.bFile = !walked.bFolder && entry.is_regular_file(ecType);
        if (IsLeftOut(strName, walked.bFolder))
            continue;
        if (fnVisit(walked) && walked.bFolder)
            WalkFolder(walked, fnVisit, fnUnlisted);
    }
}
#else
struct CDirName {
    std::string strName;
    unsigned char ucType;
};

// The relative text of one name, as RelText would give it.
void AppendRel(std::string& strRel, const std::string& strName)
{
    if (std::all_of(strName.begin(), strName.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        strRel += strName; // ASCII is its own UTF-8
    else
        strRel += Utf8FromWide(WideFromUtf8(strName));
}

// A folder's names with the listing's own types: a look only at links and
// at names whose type the file system does not give, each from the folder's
// descriptor rather than from the root again.
void WalkFolder(const CWalkEntry& folder, const std::function<bool(const CWalkEntry&)>& fnVisit,
                const FnUnlisted& fnUnlisted, bool bLookAtFiles)
{
    const std::string& strNative = folder.strNative;
    const std::string strPrefix = folder.strRel.empty() ? std::string() : folder.strRel + "/";
    DIR* pDir = opendir(strNative.c_str());
    if (!pDir) {
        fnUnlisted(folder, SystemMessage(errno));
        return;
    }
    std::vector<CDirName> vecNames;
    // readdir gives null at the end and on an error alike: errno tells them apart.
    for (errno = 0;; errno = 0) {
        const dirent* pEntry = readdir(pDir);
        if (!pEntry) {
            if (errno != 0) {
                const int iError = errno;
                closedir(pDir);
                fnUnlisted(folder, SystemMessage(iError));
                return;
            }
            break;
        }
        const char* pszName = pEntry->d_name;
        if (pszName[0] == '.' && (pszName[1] == 0 || (pszName[1] == '.' && pszName[2] == 0)))
            continue;
        vecNames.push_back({pszName, pEntry->d_type});
    }
    std::sort(vecNames.begin(), vecNames.end(),
              [](const CDirName& a, const CDirName& b) { return a.strName < b.strName; });
    // Every look while the folder is open; closed before going down, so
    // that a deep tree holds one descriptor, not one per level.
    const int fd = dirfd(pDir);
    const std::string strBelow = strNative.empty() || strNative.back() == '/' ? strNative : strNative + "/";
    std::vector<CWalkEntry> vecEntries;
    vecEntries.reserve(vecNames.size());
    for (const CDirName& name : vecNames) {
        CWalkEntry walked;
        struct stat st;
        bool bStat = false; // st holds what the name leads to
        unsigned char ucType = name.ucType;
        if (ucType == DT_UNKNOWN && fstatat(fd, name.strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            ucType = S_ISLNK(st.st_mode) ? DT_LNK
                     : S_ISDIR(st.st_mode) ? DT_DIR
                     : S_ISREG(st.st_mode) ? DT_REG
                                           : DT_UNKNOWN;
            bStat = ucType != DT_LNK;
        }
        // A link to a folder is not walked into: it could lead back up.
        walked.bFolder = ucType == DT_DIR;
        if (ucType == DT_LNK) {
            bStat = fstatat(fd, name.strName.c_str(), &st, 0) == 0;
            walked.bFile = bStat && S_ISREG(st.st_mode);
        } else
            walked.bFile = ucType == DT_REG;
        if (IsLeftOut(name.strName, walked.bFolder))
            continue;
        if (walked.bFile && bLookAtFiles) {
            walked.bLooked = true;
            if (bStat || fstatat(fd, name.strName.c_str(), &st, 0) == 0)
                walked.strWriteTime = WriteTimeText(st, walked.ullSize);
        }
        walked.strNative = strBelow + name.strName;
        walked.strRel = strPrefix;
        AppendRel(walked.strRel, name.strName);
        vecEntries.push_back(std::move(walked));
    }
    closedir(pDir);
    for (const CWalkEntry& walked : vecEntries)
        if (fnVisit(walked) && walked.bFolder)
            WalkFolder(walked, fnVisit, fnUnlisted, bLookAtFiles);
}
#endif

} // namespace

void WalkTree(const std::filesystem::path& root, const std::function<bool(const CWalkEntry&)>& fnVisit,
              const FnUnlisted& fnUnlisted, bool bLookAtFiles)
{
    CWalkEntry top;
    top.strNative = root.native();
    top.bFolder = true;
#if defined(_WIN32)
    (void)bLookAtFiles; // the listing gives them, but GetFileAttributesExW is what the description takes
    WalkFolder(top, fnVisit, fnUnlisted);
#else
    WalkFolder(top, fnVisit, fnUnlisted, bLookAtFiles);
#endif
}

} // namespace kvtool
