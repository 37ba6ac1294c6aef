// Case-insensitive lookup of host names, folder by folder, with each
// folder's folded names listed once and kept while the folder is unchanged.
#include "NameLookup.h"

#include <kvwin32.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kvwin32 {
namespace detail {

namespace {

// What tells a folder's listing is still its listing: a name added,
// removed or renamed changes the folder's modification time.
struct CFolderStamp {
    std::uint64_t qwDevice = 0;
    std::uint64_t qwInode = 0;
    struct timespec tsWrite = {0, 0};
    struct timespec tsChange = {0, 0};

    static CFolderStamp Of(const struct stat& st)
    {
        return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), st.st_mtim,
                st.st_ctim};
    }
    bool operator==(const CFolderStamp& o) const
    {
        return qwDevice == o.qwDevice && qwInode == o.qwInode && tsWrite.tv_sec == o.tsWrite.tv_sec &&
               tsWrite.tv_nsec == o.tsWrite.tv_nsec && tsChange.tv_sec == o.tsChange.tv_sec &&
               tsChange.tv_nsec == o.tsChange.tv_nsec;
    }
};

// A file system stamps times from a clock that advances in ticks (a few ms),
// so a change made in the tick the folder was listed in may leave its time
// as it was. A listing made that soon after the folder's last change is
// trusted for the names it has, and made again when a name is not in it.
constexpr long long kSettleNanoseconds = 50LL * 1000 * 1000;

struct CFolderListing {
    CFolderStamp stamp;
    bool bSettled = false;
    // Folded name -> the names that fold to it, smallest first.
    std::unordered_map<std::string, std::vector<std::string>> mapNames;
};

long long Nanoseconds(const struct timespec& ts)
{
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// The folder's names, or null when it cannot be read.
std::shared_ptr<CFolderListing> ListFolder(const std::string& strFolder, const struct stat& st)
{
    struct timespec tsNow;
    ::clock_gettime(CLOCK_REALTIME, &tsNow);
    int iFd;
    do {
        iFd = ::open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (iFd < 0 && errno == EINTR);
    if (iFd < 0)
        return nullptr;
    DIR* pDir = ::fdopendir(iFd);
    if (!pDir) {
        ::close(iFd);
        return nullptr;
    }
    auto pListing = std::make_shared<CFolderListing>();
    pListing->stamp = CFolderStamp::Of(st);
    pListing->bSettled = Nanoseconds(tsNow) - Nanoseconds(st.st_mtim) > kSettleNanoseconds;
    std::string strKey;
    bool bFailed = false;
    for (;;) {
        errno = 0;
        const struct dirent* pEntry = ::readdir(pDir);
        if (!pEntry) {
            bFailed = errno != 0;
            break;
        }
        const char* pszName = pEntry->d_name;
        if (std::strcmp(pszName, ".") == 0 || std::strcmp(pszName, "..") == 0)
            continue;
        strKey.clear();
        AppendFoldedName(strKey, pszName);
        pListing->mapNames[strKey].emplace_back(pszName);
    }
    ::closedir(pDir);
    // A listing that broke off would hide names: better none.
    if (bFailed)
        return nullptr;
    for (auto& entry : pListing->mapNames)
        if (entry.second.size() > 1)
            std::sort(entry.second.begin(), entry.second.end());
    return pListing;
}

class CListingCache {
  public:
    // The name in strFolder (which st describes) that svName stands for.
    bool Find(const std::string& strFolder, const struct stat& st, std::string_view svName,
              std::string& strFound)
    {
        std::string strKey;
        AppendFoldedName(strKey, svName);
        const CFolderStamp stamp = CFolderStamp::Of(st);
        std::shared_ptr<CFolderListing> pListing;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto it = m_map.find(strFolder);
            if (it != m_map.end() && it->second->stamp == stamp)
                pListing = it->second;
        }
        if (pListing) {
            if (pListing->bSettled)
                return Pick(*pListing, strKey, svName, strFound);
            if (Pick(*pListing, strKey, svName, strFound) && StillThere(strFolder, strFound))
                return true;
        }
        pListing = ListFolder(strFolder, st);
        if (!pListing)
            return false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // Enough for the folders of a disc; past it, start afresh.
            if (m_map.size() >= kMaxFolders)
                m_map.clear();
            m_map[strFolder] = pListing;
        }
        return Pick(*pListing, strKey, svName, strFound);
    }

    // A folder found under another case: strSpelled (as asked for) names
    // strFound, which st described then.
    void RememberFolder(const std::string& strSpelled, const std::string& strFound, const struct stat& st)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_mapFolders.size() >= kMaxFolders)
            m_mapFolders.clear();
        m_mapFolders[strSpelled] = {strFound, CFolderStamp::Of(st)};
    }
    // The folder strSpelled was found as, while that folder is unchanged
    // (st then describes it).
    bool RememberedFolder(const std::string& strSpelled, std::string& strFound, struct stat& st)
    {
        CFolderStamp stamp;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto it = m_mapFolders.find(strSpelled);
            if (it == m_mapFolders.end())
                return false;
            strFound = it->second.strFound;
            stamp = it->second.stamp;
        }
        // Changed since: looked up afresh, which remembers it again.
        return ::stat(strFound.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && CFolderStamp::Of(st) == stamp;
    }

    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_map.clear();
        m_mapFolders.clear();
    }

  private:
    static constexpr std::size_t kMaxFolders = 1024;

    static bool Pick(const CFolderListing& listing, const std::string& strKey, std::string_view svName,
                     std::string& strFound)
    {
        strFound.clear();
        const auto it = listing.mapNames.find(strKey);
        if (it == listing.mapNames.end())
            return false;
        const std::vector<std::string>& vec = it->second;
        const auto itExact = std::find(vec.begin(), vec.end(), svName);
        strFound = itExact != vec.end() ? *itExact : vec.front();
        return true;
    }

    // A name of a listing that may have missed a change, checked before use.
    static bool StillThere(const std::string& strFolder, const std::string& strName)
    {
        struct stat st;
        return ::lstat((strFolder == "/" ? "/" + strName : strFolder + '/' + strName).c_str(), &st) == 0;
    }

    struct CFoundFolder {
        std::string strFound;
        CFolderStamp stamp;
    };

    std::mutex m_mutex;
    std::unordered_map<std::string, std::shared_ptr<CFolderListing>> m_map;
    std::unordered_map<std::string, CFoundFolder> m_mapFolders;
};

CListingCache& ListingCache()
{
    static CListingCache* const s_pCache = new CListingCache; // never destroyed: calls may come during exit
    return *s_pCache;
}

bool IsMissing(int iErr)
{
    return iErr == ENOENT || iErr == ENOTDIR;
}

// Makes strHost[0, cchEnd) (a path that ends with a component) name an
// existing entry; cchEnd follows the length the names found have.
bool Resolve(std::string& strHost, std::size_t cchRoot, std::size_t& cchEnd)
{
    const std::size_t iSep = strHost.rfind('/', cchEnd - 1);
    if (iSep == std::string::npos || iSep < cchRoot)
        return false; // the mapped folder itself is not looked up
    std::size_t cchFolder = iSep;
    auto FolderPath = [&] { return cchFolder == 0 ? std::string("/") : strHost.substr(0, cchFolder); };
    std::string strFolder = FolderPath();
    struct stat st;
    std::string strRemembered;
    if (ListingCache().RememberedFolder(strFolder, strRemembered, st)) {
        // The files of one folder come one after another: its own lookup is
        // made once while it is unchanged.
        strHost.replace(0, cchFolder, strRemembered);
        cchFolder = strRemembered.size();
        strFolder = std::move(strRemembered);
    } else if (::stat(strFolder.c_str(), &st) != 0) {
        if (!IsMissing(errno))
            return false;
        const std::string strSpelled = strFolder;
        if (!Resolve(strHost, cchRoot, cchFolder))
            return false;
        strFolder = FolderPath();
        if (::stat(strFolder.c_str(), &st) != 0)
            return false;
        if (S_ISDIR(st.st_mode))
            ListingCache().RememberFolder(strSpelled, strFolder, st);
    }
    if (!S_ISDIR(st.st_mode))
        return false;
    const std::size_t iName = cchFolder + 1;
    const std::size_t cchName = cchEnd - (iSep + 1);
    std::string strFound;
    if (!ListingCache().Find(strFolder, st, std::string_view(strHost).substr(iName, cchName), strFound))
        return false;
    strHost.replace(iName, cchName, strFound);
    cchEnd = iName + strFound.size();
    return true;
}

} // namespace

bool FindFoldedPath(std::string& strHost, std::size_t cchRoot)
{
    std::size_t cchEnd = strHost.size();
    while (cchEnd > 1 && strHost[cchEnd - 1] == '/')
        --cchEnd;
    if (cchEnd <= cchRoot)
        return false;
    std::string strWork = strHost;
    if (!Resolve(strWork, cchRoot, cchEnd))
        return false;
    strHost = std::move(strWork);
    return true;
}

} // namespace detail

void ForgetFolderListings()
{
    detail::ListingCache().Clear();
}

} // namespace kvwin32
