// What Windows tells about a file (attributes, size, times), from the host's
// stat information.
#include "Internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <atomic>
#include <cerrno>

namespace kvwin32 {
namespace detail {

namespace {

struct CTimeSpec {
    std::int64_t llSeconds = 0;
    long lNanoseconds = 0;
    bool operator<(const CTimeSpec& o) const
    {
        return llSeconds < o.llSeconds || (llSeconds == o.llSeconds && lNanoseconds < o.lNanoseconds);
    }
};

struct CRawStat {
    mode_t mode = 0;
    std::int64_t llSize = 0;
    std::uint64_t qwDevice = 0;
    std::uint64_t qwInode = 0;
    std::uint64_t qwLinks = 0;
    CTimeSpec tsAccess, tsWrite, tsChange, tsBirth;
    bool bHasBirth = false;
};

CTimeSpec FromTimespec(const struct timespec& ts)
{
    return {static_cast<std::int64_t>(ts.tv_sec), ts.tv_nsec};
}

// iFlags: 0 to follow a link, AT_SYMLINK_NOFOLLOW, or AT_EMPTY_PATH for the
// open descriptor iDirFd itself.
int PlainStat(int iDirFd, const char* pszPath, int iFlags, CRawStat& raw)
{
    struct stat st;
    if (::fstatat(iDirFd, pszPath, &st, iFlags) != 0)
        return errno;
    raw.mode = st.st_mode;
    raw.llSize = static_cast<std::int64_t>(st.st_size);
    raw.qwDevice = static_cast<std::uint64_t>(st.st_dev);
    raw.qwInode = static_cast<std::uint64_t>(st.st_ino);
    raw.qwLinks = static_cast<std::uint64_t>(st.st_nlink);
    raw.tsAccess = FromTimespec(st.st_atim);
    raw.tsWrite = FromTimespec(st.st_mtim);
    raw.tsChange = FromTimespec(st.st_ctim);
    return 0;
}

#if defined(__linux__) && defined(STATX_BTIME)
// statx also knows the birth time, which is Windows' creation time. Some
// kernels and sandboxes refuse it; then plain stat serves for good.
std::atomic<bool> g_bStatxRefused{false};

CTimeSpec FromStatx(const struct statx_timestamp& ts)
{
    return {ts.tv_sec, static_cast<long>(ts.tv_nsec)};
}

int RawStat(int iDirFd, const char* pszPath, int iFlags, CRawStat& raw)
{
    if (!g_bStatxRefused.load(std::memory_order_relaxed)) {
        struct statx stx;
        if (::statx(iDirFd, pszPath, iFlags, STATX_BASIC_STATS | STATX_BTIME, &stx) == 0) {
            raw.mode = stx.stx_mode;
            raw.llSize = static_cast<std::int64_t>(stx.stx_size);
            raw.qwDevice = static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor));
            raw.qwInode = stx.stx_ino;
            raw.qwLinks = stx.stx_nlink;
            raw.tsAccess = FromStatx(stx.stx_atime);
            raw.tsWrite = FromStatx(stx.stx_mtime);
            raw.tsChange = FromStatx(stx.stx_ctime);
            raw.bHasBirth = (stx.stx_mask & STATX_BTIME) != 0;
            if (raw.bHasBirth)
                raw.tsBirth = FromStatx(stx.stx_btime);
            return 0;
        }
        if (errno != ENOSYS && errno != EPERM)
            return errno;
        g_bStatxRefused.store(true, std::memory_order_relaxed);
    }
    return PlainStat(iDirFd, pszPath, iFlags, raw);
}
#else
int RawStat(int iDirFd, const char* pszPath, int iFlags, CRawStat& raw)
{
    return PlainStat(iDirFd, pszPath, iFlags, raw);
}
#endif

FILETIME ToFileTime(const CTimeSpec& ts)
{
    return FileTimeFromUnix(ts.llSeconds, ts.lNanoseconds);
}

} // namespace

bool IsDotName(std::wstring_view svName)
{
    return !svName.empty() && svName[0] == L'.' && svName != L"." && svName != L"..";
}

namespace {

void FillFileInfo(const CRawStat& raw, bool bLink, bool bHiddenName, CFileInfo& info)
{
    info.bLink = bLink;
    DWORD dw = 0;
    if (S_ISDIR(raw.mode))
        dw |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(raw.mode & S_IWUSR))
        dw |= FILE_ATTRIBUTE_READONLY;
    if (bHiddenName)
        dw |= FILE_ATTRIBUTE_HIDDEN;
    if (bLink)
        dw |= FILE_ATTRIBUTE_REPARSE_POINT;
    info.dwAttributes = dw ? dw : FILE_ATTRIBUTE_NORMAL;

    // Windows gives folders no size.
    info.qwSize = S_ISDIR(raw.mode) || raw.llSize < 0 ? 0 : static_cast<ULONGLONG>(raw.llSize);
    info.ftLastAccess = ToFileTime(raw.tsAccess);
    info.ftLastWrite = ToFileTime(raw.tsWrite);
    // Without a birth time, the earliest time known stands in for it.
    CTimeSpec tsCreation = raw.tsWrite < raw.tsChange ? raw.tsWrite : raw.tsChange;
    if (raw.bHasBirth)
        tsCreation = raw.tsBirth;
    info.ftCreation = ToFileTime(tsCreation);
    info.qwDevice = raw.qwDevice;
    info.qwInode = raw.qwInode;
    // A folder's link count on Linux counts its sub-folders' "..";
    // Windows gives a folder 1.
    info.qwLinks = S_ISDIR(raw.mode) ? 1 : raw.qwLinks;
}

} // namespace

int QueryFileInfo(int iDirFd, const char* pszPath, bool bHiddenName, CFileInfo& info)
{
    CRawStat raw;
    if (int iErr = RawStat(iDirFd, pszPath, AT_SYMLINK_NOFOLLOW, raw))
        return iErr;
    const bool bLink = S_ISLNK(raw.mode);
    if (bLink) {
        // The target's details; a dangling link keeps its own.
        CRawStat target;
        if (RawStat(iDirFd, pszPath, 0, target) == 0)
            raw = target;
    }
    FillFileInfo(raw, bLink, bHiddenName, info);
    return 0;
}

int QueryOpenFileInfo(int iFd, bool bHiddenName, CFileInfo& info)
{
    CRawStat raw;
    if (int iErr = RawStat(iFd, "", AT_EMPTY_PATH, raw))
        return iErr;
    FillFileInfo(raw, false, bHiddenName, info);
    return 0;
}

} // namespace detail
} // namespace kvwin32
