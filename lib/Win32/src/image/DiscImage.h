// A disc image (or a disc in its drive, read as a block device) seen as the
// file system Windows would show: its UDF volume when it has one (a bridge
// disc too); else the names of the Joliet tree when there is one, else
// those of Rock Ridge, else the plain ISO 9660 ones. Folders are read when
// first looked into and kept for as long as the image is.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct udf_s;
struct udf_dirent_s;

namespace kvwin32 {
namespace detail {

// A folder's records are read whole; no disc holds a folder this large, and
// a damaged size must not make us read gigabytes.
constexpr std::uint64_t kMaxFolderBytes = 64u << 20;

// Where a piece of a file lies in the image, in bytes. A file over 4 GiB
// has several, one directory record each.
struct CImageExtent {
    std::uint64_t qwOffset = 0;
    std::uint64_t qwSize = 0;
};

struct CImageEntry {
    std::string strName;   // UTF-8; empty when the name is no Unicode text
    std::wstring wstrName; // as a search shows it
    bool bFolder = false;
    bool bHidden = false;
    std::uint64_t qwSize = 0;
    std::vector<CImageExtent> vecExtents; // a folder: where its records are
    DWORD dwReadError = ERROR_SUCCESS;    // a file whose bytes this reader cannot find
    FILETIME ftWrite = {0, 0};
    std::uint64_t qwId = 0; // stable for the image: a folder's is where its records are

    // A folder, once listed (under the image's lock; never changed after).
    bool bListed = false;
    DWORD dwListError = ERROR_SUCCESS;
    std::vector<std::size_t> vecChildren;
    std::unordered_map<std::string, std::size_t> mapExact;
    std::unordered_map<std::string, std::size_t> mapFolded; // the smallest name in byte order wins
};

class CDiscImage {
  public:
    static constexpr std::size_t kRoot = 0;

    // ERROR_SUCCESS and the image, or the error for a file that holds no
    // file system this reader knows.
    static DWORD Open(const std::string& strPath, std::shared_ptr<CDiscImage>& pImage);
    ~CDiscImage();
    CDiscImage(const CDiscImage&) = delete;
    CDiscImage& operator=(const CDiscImage&) = delete;

    // The entry that an inner path ("/a/b", "/" for the root) names, each
    // component matched exactly first and else without regard to case.
    // ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND as Windows tells them
    // apart, or the error of a folder that cannot be read.
    DWORD Lookup(std::string_view svPath, const CImageEntry*& pEntry);
    // A folder's entries, listed on first use.
    DWORD Children(const CImageEntry& folder, const std::vector<std::size_t>*& pvecChildren);
    const CImageEntry& Entry(std::size_t i);

    // Reads up to cb bytes at qwAt; fewer only at the file's end. A piece
    // that the image does not hold (cut short, or an extent past its end)
    // is ERROR_CRC, as a damaged disc reads on Windows.
    DWORD Read(const CImageEntry& file, std::uint64_t qwAt, void* pv, DWORD cb, DWORD& cbDone);

    std::uint64_t Serial() const { return m_qwSerial; }
    const std::string& Path() const { return m_strPath; }

  private:
    CDiscImage() = default;
    DWORD Init();
    DWORD ReadAt(std::uint64_t qwAt, void* pv, std::size_t cb);
    void ListLocked(CImageEntry& folder);
    DWORD ListIsoLocked(const CImageEntry& folder, std::vector<CImageEntry>& vecNew);
    // Whether the volume recognition sequence names a UDF volume.
    bool HasUdfVolume();
    // A disc's UDF volume, read through libudf (UdfImage.cpp).
    DWORD InitUdf();
    DWORD ListUdfLocked(const CImageEntry& folder, std::vector<CImageEntry>& vecNew);
    void CloseUdf();

    std::string m_strPath;
    int m_iFd = -1;
    std::uint64_t m_qwSize = 0;
    std::uint64_t m_qwSerial = 0;
    bool m_bJoliet = false;
    std::mutex m_mutex;
    std::deque<CImageEntry> m_deqEntries; // stable addresses as folders are listed
    udf_s* m_pUdf = nullptr;
    // The folders of a UDF disc not listed yet, by their qwId: each is read once.
    std::unordered_map<std::uint64_t, udf_dirent_s*> m_mapUdfFolders;
};

// Names as records hold them, as Windows shows them. Joliet: UTF-16 big
// endian. Plain ISO 9660: ";1" and a trailing "." dropped. Empty when the
// bytes are no name (a lone surrogate).
std::wstring JolietName(const unsigned char* pb, std::size_t cb);
std::wstring IsoName(const unsigned char* pb, std::size_t cb);
// Reads cb bytes of the image at qwAt into vec; false when it cannot.
using FnReadArea = std::function<bool(std::uint64_t qwAt, std::size_t cb, std::vector<unsigned char>& vec)>;
// The Rock Ridge name in a record's system use area, if it has one; pbArea
// is that area. The continuation areas it leads to are read through
// fnReadArea; one that cannot be read ends the name where it is.
bool RockRidgeName(const unsigned char* pbArea, std::size_t cbArea, const FnReadArea& fnReadArea,
                   std::string& strName);

} // namespace detail
} // namespace kvwin32
