// Reading an ISO 9660 image: libiso9660 recognises the volume and lays out
// its records; the folders and the bytes of the files are read here,
// straight from the image, so that reading a file costs what reading the
// same bytes from a plain file costs.
#include "image/DiscImage.h"

#include "Internal.h"
#include "NameLookup.h"

#include <cdio/bytesex.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kvwin32 {
namespace detail {
namespace {

constexpr std::uint64_t kSector = ISO_BLOCKSIZE;
// Records of a file of several extents; a 1 TiB file needs 256.
constexpr std::size_t kMaxExtents = 1024;
constexpr std::size_t kRecordHead = 33; // bytes before the name

// The library's warnings would go to the caller's stderr; what they report
// comes back to the caller as errors instead.
void QuietLog(cdio_log_level_t, const char*) {}

std::once_flag g_onceQuiet;

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// A record's time, local to the writer with its offset from UTC in
// quarter hours.
FILETIME RecordTime(const iso9660_dtime_t& t)
{
    if (t.dt_month < 1 || t.dt_month > 12 || t.dt_day < 1 || t.dt_day > 31)
        return FILETIME{0, 0};
    std::int64_t ll = DaysFromCivil(1900 + t.dt_year, t.dt_month, t.dt_day) * 86400 + t.dt_hour * 3600 +
                      t.dt_minute * 60 + t.dt_second;
    ll -= static_cast<std::int64_t>(t.dt_gmtoff) * 15 * 60;
    return FileTimeFromUnix(ll, 0);
}

bool IsJolietEscape(const char* pch)
{
    return pch[0] == '%' && pch[1] == '/' && (pch[2] == '@' || pch[2] == 'C' || pch[2] == 'E');
}

} // namespace

DWORD CDiscImage::Open(const std::string& strPath, std::shared_ptr<CDiscImage>& pImage)
{
    std::call_once(g_onceQuiet, [] { cdio_log_set_handler(QuietLog); });
    std::shared_ptr<CDiscImage> p(new CDiscImage);
    p->m_strPath = strPath;
    do {
        p->m_iFd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (p->m_iFd < 0 && errno == EINTR);
    if (p->m_iFd < 0)
        return errno == ENOMEDIUM ? ERROR_NOT_READY : Win32FromErrno(errno);
    struct stat st;
    if (::fstat(p->m_iFd, &st) != 0)
        return Win32FromErrno(errno);
    p->m_qwSize = static_cast<std::uint64_t>(st.st_size);
    if (S_ISBLK(st.st_mode)) {
        std::uint64_t qw = 0;
        if (::ioctl(p->m_iFd, BLKGETSIZE64, &qw) != 0)
            return ERROR_NOT_READY;
        p->m_qwSize = qw;
    }
    p->m_qwSerial =
        static_cast<std::uint64_t>(st.st_dev) * 0x9E3779B97F4A7C15u ^ static_cast<std::uint64_t>(st.st_ino);
    if (const DWORD dwError = p->Init())
        return dwError;
    ::posix_fadvise(p->m_iFd, 0, 0, POSIX_FADV_SEQUENTIAL);
    pImage = std::move(p);
    return ERROR_SUCCESS;
}

CDiscImage::~CDiscImage()
{
    CloseUdf();
    if (m_iFd >= 0)
        ::close(m_iFd);
}

bool CDiscImage::HasUdfVolume()
{
    // The volume recognition sequence: ISO 9660's descriptors, then UDF's
    // "BEA01", "NSR02" or "NSR03", "TEA01", one a sector.
    for (std::uint64_t iSector = ISO_PVD_SECTOR; iSector < ISO_PVD_SECTOR + 64; ++iSector) {
        char ach[6];
        if (ReadAt(iSector * kSector, ach, sizeof ach) != ERROR_SUCCESS)
            return false;
        const std::string_view svId(ach + 1, 5);
        if (svId == "NSR02" || svId == "NSR03")
            return true;
        if (svId != "CD001" && svId != "BEA01" && svId != "BOOT2" && svId != "CDW02")
            return false;
    }
    return false;
}

DWORD CDiscImage::Init()
{
    // The library says whether this is a volume it knows and gives its
    // primary descriptor.
    iso9660_pvd_t pvd;
    {
        iso9660_t* pIso = iso9660_open_ext(m_strPath.c_str(), ISO_EXTENSION_NONE);
        const bool bPvd = pIso && iso9660_ifs_read_pvd(pIso, &pvd);
        if (pIso)
            iso9660_close(pIso);
        // No ISO 9660 tree: a disc written with UDF alone.
        if (!bPvd)
            return InitUdf();
    }
    // Windows reads the UDF volume of a bridge disc (most burning programs
    // write one) rather than its ISO 9660 tree, whose Joliet names are cut
    // at 64 characters. The ISO 9660 tree serves where that volume cannot
    // be read.
    if (HasUdfVolume()) {
        if (InitUdf() == ERROR_SUCCESS)
            return ERROR_SUCCESS;
        CloseUdf();
    }
    iso9660_dir_t root = pvd.root_directory_record;
    // A Joliet descriptor among those that follow holds the names Windows shows.
    for (std::uint64_t iSector = ISO_PVD_SECTOR + 1; iSector < ISO_PVD_SECTOR + 64; ++iSector) {
        iso9660_svd_t svd;
        if (ReadAt(iSector * kSector, &svd, sizeof svd) != ERROR_SUCCESS)
            break;
        if (std::memcmp(svd.id, ISO_STANDARD_ID, sizeof svd.id) != 0 || svd.type == ISO_VD_END)
            break;
        if (svd.type == ISO_VD_SUPPLEMENTARY && IsJolietEscape(svd.escape_sequences)) {
            root = svd.root_directory_record;
            m_bJoliet = true;
            break;
        }
    }
    CImageEntry entry;
    entry.bFolder = true;
    entry.vecExtents.push_back({from_733(root.extent) * kSector, from_733(root.size)});
    entry.qwId = from_733(root.extent);
    entry.ftWrite = RecordTime(root.recording_time);
    m_deqEntries.push_back(std::move(entry));
    return ERROR_SUCCESS;
}

DWORD CDiscImage::ReadAt(std::uint64_t qwAt, void* pv, std::size_t cb)
{
    char* pch = static_cast<char*>(pv);
    std::size_t cbDone = 0;
    while (cbDone < cb) {
        const ssize_t cbRead = ::pread(m_iFd, pch + cbDone, cb - cbDone, static_cast<off_t>(qwAt + cbDone));
        if (cbRead > 0)
            cbDone += static_cast<std::size_t>(cbRead);
        else if (cbRead == 0)
            return ERROR_CRC; // the image ends where the disc says there is more
        else if (errno != EINTR)
            return Win32FromErrno(errno, ERROR_CRC);
    }
    return ERROR_SUCCESS;
}

const CImageEntry& CDiscImage::Entry(std::size_t i)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_deqEntries[i];
}

void CDiscImage::ListLocked(CImageEntry& folder)
{
    folder.bListed = true;
    std::vector<CImageEntry> vecNew;
    folder.dwListError = m_pUdf ? ListUdfLocked(folder, vecNew) : ListIsoLocked(folder, vecNew);
    if (folder.dwListError)
        return;
    for (CImageEntry& entry : vecNew) {
        const std::size_t i = m_deqEntries.size();
        // A folder is named by where its records are; a file by its place in the listing.
        if (entry.qwId == 0)
            entry.qwId =
                entry.bFolder ? entry.vecExtents.front().qwOffset / kSector : (std::uint64_t{1} << 40) + i;
        std::string strFolded;
        AppendFoldedName(strFolded, entry.strName);
        folder.mapExact.emplace(entry.strName, i);
        auto itFolded = folder.mapFolded.find(strFolded);
        if (itFolded == folder.mapFolded.end())
            folder.mapFolded.emplace(std::move(strFolded), i);
        else if (entry.strName < m_deqEntries[itFolded->second].strName)
            itFolded->second = i;
        folder.vecChildren.push_back(i);
        m_deqEntries.push_back(std::move(entry));
    }
}

DWORD CDiscImage::ListIsoLocked(const CImageEntry& folder, std::vector<CImageEntry>& vecNew)
{
    const CImageExtent ext = folder.vecExtents.empty() ? CImageExtent() : folder.vecExtents.front();
    if (ext.qwSize > kMaxFolderBytes || ext.qwOffset > m_qwSize || ext.qwSize > m_qwSize - ext.qwOffset)
        return ERROR_FILE_CORRUPT;
    std::vector<unsigned char> vecRecords(static_cast<std::size_t>(ext.qwSize));
    if (const DWORD dwError = ReadAt(ext.qwOffset, vecRecords.data(), vecRecords.size()))
        return dwError;
    const FnReadArea fnReadArea = [this](std::uint64_t qwAt, std::size_t cb,
                                         std::vector<unsigned char>& vec) {
        if (qwAt > m_qwSize || cb > m_qwSize - qwAt)
            return false;
        vec.resize(cb);
        return ReadAt(qwAt, vec.data(), cb) == ERROR_SUCCESS;
    };
    bool bContinuing = false; // the last record was not its file's last extent
    // Records never cross a sector; a zero length, or one that cannot be a
    // record, ends what the sector holds.
    for (std::size_t iSector = 0; iSector < vecRecords.size(); iSector += kSector) {
        const std::size_t cbSector = std::min<std::size_t>(kSector, vecRecords.size() - iSector);
        const unsigned char* pbSector = vecRecords.data() + iSector;
        for (std::size_t ib = 0; ib + kRecordHead < cbSector;) {
            const unsigned char* pb = pbSector + ib;
            const std::size_t cbRecord = pb[0];
            const std::size_t cbName = pb[32];
            if (cbRecord < kRecordHead + 1 || ib + cbRecord > cbSector || kRecordHead + cbName > cbRecord)
                break;
            ib += cbRecord;
            iso9660_dir_t dir;
            std::memcpy(&dir, pb, sizeof dir);
            const unsigned char* pbName = pb + kRecordHead;
            if (cbName == 1 && (pbName[0] == 0 || pbName[0] == 1))
                continue; // "." and ".."
            if (dir.file_flags & ISO_ASSOCIATED)
                continue;
            const std::uint64_t qwLsn = from_733(dir.extent);
            const std::uint64_t qwLength = from_733(dir.size);
            const bool bLast = !(dir.file_flags & ISO_MULTIEXTENT);
            if (bContinuing && !vecNew.empty() && vecNew.back().vecExtents.size() < kMaxExtents) {
                // The next piece of the file before: the same file, whatever the record's name says.
                CImageEntry& prev = vecNew.back();
                prev.vecExtents.push_back({qwLsn * kSector, qwLength});
                prev.qwSize += qwLength;
                bContinuing = !bLast;
                continue;
            }
            bContinuing = !bLast;
            CImageEntry entry;
            if (m_bJoliet) {
                entry.wstrName = JolietName(pbName, cbName);
            } else {
                const std::size_t cbArea = cbRecord - kRecordHead - cbName - ((cbName & 1) ? 0 : 1);
                const unsigned char* pbArea = pbName + cbName + ((cbName & 1) ? 0 : 1);
                std::string strRock;
                if (cbRecord >= kRecordHead + cbName + ((cbName & 1) ? 0 : 1) &&
                    RockRidgeName(pbArea, cbArea, fnReadArea, strRock))
                    entry.wstrName = DecodeUtf8(strRock.c_str());
                else
                    entry.wstrName = IsoName(pbName, cbName);
            }
            if (entry.wstrName.empty() || entry.wstrName.size() > MAX_PATH - 1 ||
                !AppendUtf8(entry.strName, entry.wstrName.data(), entry.wstrName.size()))
                continue; // no name Windows could show
            entry.bFolder = (dir.file_flags & ISO_DIRECTORY) != 0;
            entry.bHidden = (dir.file_flags & ISO_EXISTENCE) != 0;
            entry.ftWrite = RecordTime(dir.recording_time);
            entry.vecExtents.push_back({qwLsn * kSector, qwLength});
            entry.qwSize = entry.bFolder ? 0 : qwLength;
            vecNew.push_back(std::move(entry));
        }
    }
    return ERROR_SUCCESS;
}

DWORD CDiscImage::Children(const CImageEntry& folder, const std::vector<std::size_t>*& pvecChildren)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    CImageEntry& entry = const_cast<CImageEntry&>(folder);
    if (!entry.bListed)
        ListLocked(entry);
    if (entry.dwListError)
        return entry.dwListError;
    pvecChildren = &entry.vecChildren;
    return ERROR_SUCCESS;
}

DWORD CDiscImage::Lookup(std::string_view svPath, const CImageEntry*& pEntry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t iEntry = kRoot;
    std::size_t ib = 0;
    std::string strFolded;
    while (ib < svPath.size()) {
        if (svPath[ib] == '/') {
            ++ib;
            continue;
        }
        std::size_t ibEnd = svPath.find('/', ib);
        if (ibEnd == std::string_view::npos)
            ibEnd = svPath.size();
        const std::string_view svName = svPath.substr(ib, ibEnd - ib);
        const bool bLastPart = svPath.find_first_not_of('/', ibEnd) == std::string_view::npos;
        ib = ibEnd;
        CImageEntry& folder = m_deqEntries[iEntry];
        if (!folder.bFolder)
            return ERROR_PATH_NOT_FOUND;
        if (!folder.bListed)
            ListLocked(folder);
        if (folder.dwListError)
            return folder.dwListError;
        auto it = folder.mapExact.find(std::string(svName));
        if (it == folder.mapExact.end()) {
            strFolded.clear();
            AppendFoldedName(strFolded, svName);
            it = folder.mapFolded.find(strFolded);
            if (it == folder.mapFolded.end())
                return bLastPart ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        }
        iEntry = it->second;
    }
    pEntry = &m_deqEntries[iEntry];
    return ERROR_SUCCESS;
}

DWORD CDiscImage::Read(const CImageEntry& file, std::uint64_t qwAt, void* pv, DWORD cb, DWORD& cbDone)
{
    cbDone = 0;
    if (file.dwReadError && qwAt < file.qwSize && cb)
        return file.dwReadError;
    char* pch = static_cast<char*>(pv);
    std::uint64_t qwStart = 0; // where the current extent starts in the file
    for (const CImageExtent& ext : file.vecExtents) {
        if (cbDone == cb)
            break;
        const std::uint64_t qwPos = qwAt + cbDone;
        if (qwPos < qwStart + ext.qwSize) {
            const std::uint64_t qwIn = qwPos - qwStart;
            const DWORD cbPart = static_cast<DWORD>(std::min<std::uint64_t>(cb - cbDone, ext.qwSize - qwIn));
            if (ext.qwOffset > m_qwSize || qwIn + cbPart > m_qwSize - ext.qwOffset)
                return cbDone ? ERROR_SUCCESS : ERROR_CRC;
            if (const DWORD dwError = ReadAt(ext.qwOffset + qwIn, pch + cbDone, cbPart))
                return cbDone ? ERROR_SUCCESS : dwError;
            cbDone += cbPart;
        }
        qwStart += ext.qwSize;
    }
    return ERROR_SUCCESS;
}

} // namespace detail
} // namespace kvwin32
