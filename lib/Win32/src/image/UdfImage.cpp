// A disc's UDF volume, which Windows reads in preference to an ISO 9660
// tree beside it: libudf finds the volume and lists its folders; the bytes
// of a file are read straight from the image where its extents lie.
#include "image/DiscImage.h"

#include "Internal.h"

#include <cdio/bytesex.h>
#include <cdio/udf.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kvwin32 {
namespace detail {
namespace {

constexpr std::uint64_t kBlock = UDF_BLOCKSIZE;
// A damaged folder could claim a child without end.
constexpr std::size_t kMaxFolderEntries = 1u << 20;

// libudf takes an entry's extended attributes and allocation descriptors
// from the one block the entry was read into, at the lengths the entry
// claims, without looking: a damaged length would send it far past the
// block. An entry whose lengths do not fit is not handed to it.
bool DescriptorsFit(const udf_file_entry_t& fe)
{
    const std::uint64_t cbUsed =
        std::uint64_t{uint32_from_le(fe.i_extended_attr)} + uint32_from_le(fe.i_alloc_descs);
    return cbUsed <= sizeof(fe.u);
}

// The tag every descriptor starts with: its id, and the sum of its other
// fifteen bytes in its fifth.
bool TagIs(const unsigned char* pb, std::uint16_t wId)
{
    if ((pb[0] | pb[1] << 8) != wId)
        return false;
    unsigned char bSum = 0;
    for (int i = 0; i < 16; ++i)
        bSum = static_cast<unsigned char>(bSum + (i == 4 ? 0 : pb[i]));
    return bSum == pb[4];
}

// One block through libudf, as it reads them: false when it cannot be read.
struct CBlock {
    unsigned char ab[kBlock];
    bool Read(const udf_t* pUdf, std::uint32_t dwLsn)
    {
        return udf_read_sectors(pUdf, ab, dwLsn, 1) == DRIVER_OP_SUCCESS;
    }
    // The block as the descriptor T, copied: the block's bytes have no type.
    template <class T> T As() const
    {
        static_assert(sizeof(T) <= kBlock, "one block");
        T out;
        std::memcpy(&out, ab, sizeof(T));
        return out;
    }
};

// udf_get_root hands the root folder's entry to libudf unchecked, so it is
// found here first the way libudf finds it (the anchor at block 256, the
// main volume descriptor sequence, the file set descriptor the logical
// volume names, in each partition it describes) and checked. Whatever
// cannot be found here is left to libudf, which then finds no root either.
bool RootEntriesFit(const udf_t* pUdf)
{
    constexpr std::uint32_t kAnchor = 256, kMaxDescriptors = 256;
    CBlock block;
    if (!block.Read(pUdf, kAnchor))
        return true;
    const auto anchor = block.As<anchor_vol_desc_ptr_t>();
    if (uint16_from_le(anchor.tag.id) != TAGID_ANCHOR)
        return true;
    const std::uint32_t dwFirst = uint32_from_le(anchor.main_vol_desc_seq_ext.loc);
    const std::uint32_t cDescs =
        std::min<std::uint32_t>(uint32_from_le(anchor.main_vol_desc_seq_ext.len) / kBlock, kMaxDescriptors);
    std::vector<std::uint32_t> vecPartStarts;
    std::uint32_t dwFsd = 0;
    bool bFsd = false;
    for (std::uint32_t i = 0; i < cDescs && block.Read(pUdf, dwFirst + i); ++i) {
        const std::uint16_t wId = uint16_from_le(block.As<udf_tag_t>().id);
        if (wId == TAGID_TERM)
            break;
        if (wId == TAGID_PARTITION) {
            vecPartStarts.push_back(uint32_from_le(block.As<partition_desc_t>().start_loc));
        } else if (wId == TAGID_LOGVOL) {
            dwFsd = uint32_from_le(block.As<logical_vol_desc_t>().lvd_use.fsd_loc.loc.lba);
            bFsd = true;
        }
    }
    if (!bFsd)
        return true;
    for (const std::uint32_t dwStart : vecPartStarts) {
        if (!block.Read(pUdf, dwStart + dwFsd) || uint16_from_le(block.As<udf_tag_t>().id) != TAGID_FSD)
            continue;
        const std::uint32_t dwRoot = dwStart + uint32_from_le(block.As<udf_fsd_t>().root_icb.loc.lba);
        if (!block.Read(pUdf, dwRoot))
            continue;
        const auto fe = block.As<udf_file_entry_t>();
        if (uint16_from_le(fe.tag.id) == TAGID_FILE_ENTRY && !DescriptorsFit(fe))
            return false;
    }
    return true;
}

// udf_readdir reads a folder's identifiers into a buffer of the size its
// first extent claims, computed in 32 bits, and then walks them by their own
// lengths for as long as the entry's length has bytes left, never looking at
// the buffer's end. The walk is made here first, over the same bytes, and a
// folder on which it would leave the buffer is not handed to it.
bool FolderWalkFits(const udf_t* pUdf, const udf_dirent_t& dir, std::uint64_t qwImageSize)
{
    // The same sums, wrapping where libudf's wrap.
    const std::uint32_t cBlocks = dir.i_loc_end - dir.i_loc + 1;
    const std::uint32_t dwFirst = dir.i_part_start + dir.i_loc;
    const std::uint64_t cb = std::uint64_t{cBlocks} * kBlock;
    if (cBlocks == 0 || cb > kMaxFolderBytes || (std::uint64_t{dwFirst} + cBlocks) * kBlock > qwImageSize)
        return false;
    std::vector<unsigned char> vecBuf(cb);
    if (udf_read_sectors(pUdf, vecBuf.data(), dwFirst, cBlocks) != DRIVER_OP_SUCCESS)
        return false;
    constexpr std::size_t kHead = sizeof(udf_fileid_desc_t);
    std::uint64_t qwLeft = dir.dir_left;
    for (std::uint64_t ib = 0; qwLeft != 0;) {
        if (ib + kHead > cb)
            return false;
        const unsigned char* pb = vecBuf.data() + ib;
        if (!TagIs(pb, TAGID_FID))
            return true; // where libudf's walk ends
        udf_fileid_desc_t fid;
        std::memcpy(&fid, pb, kHead);
        const std::uint64_t cbThis = kHead + uint16_from_le(fid.u.i_imp_use) + fid.i_file_id;
        if (ib + cbThis > cb)
            return false;
        // libudf ends the listing quietly where a child's entry cannot be
        // read; the folder is damaged, not shorter.
        const std::uint32_t dwEntry = dir.i_part_start + uint32_from_le(fid.icb.loc.lba);
        if ((std::uint64_t{dwEntry} + 1) * kBlock > qwImageSize)
            return false;
        const std::uint64_t cbStep = (cbThis + 3) / 4 * 4;
        qwLeft -= cbStep;
        ib += cbStep;
    }
    return true;
}

// Where a file's bytes lie in the image: the recorded extents its entry's
// short or long descriptors list, in order (genisoimage splits a file at
// 1 GiB). A file kept inside its entry, one whose descriptors go on in
// another block, or with a piece not recorded is not read: its reads fail,
// so it is reported unreadable rather than read wrong.
bool FileExtents(const udf_dirent_t& dirent, std::uint64_t qwSize, std::vector<CImageExtent>& vecExtents)
{
    if (qwSize == 0)
        return true;
    const std::uint16_t wFlags = uint16_from_le(dirent.fe.icb_tag.flags) & ICBTAG_FLAG_AD_MASK;
    const std::uint32_t cbDescs = uint32_from_le(dirent.fe.i_alloc_descs);
    const std::uint32_t cbOne = wFlags == ICBTAG_FLAG_AD_SHORT ? 8 : wFlags == ICBTAG_FLAG_AD_LONG ? 16 : 0;
    if (cbOne == 0 || cbDescs % cbOne != 0 || !DescriptorsFit(dirent.fe))
        return false;
    const unsigned char* pbDescs =
        reinterpret_cast<const unsigned char*>(&dirent.fe.u) + uint32_from_le(dirent.fe.i_extended_attr);
    constexpr std::uint32_t kRecorded = 0, kLengthMask = 0x3FFFFFFF;
    std::uint64_t qwLeft = qwSize;
    for (std::uint32_t ib = 0; ib < cbDescs && qwLeft != 0; ib += cbOne) {
        // Both kinds start with the length (its top two bits the kind of
        // extent) and the block within the partition.
        std::uint32_t adw[2];
        std::memcpy(adw, pbDescs + ib, sizeof adw);
        const std::uint32_t dwLength = uint32_from_le(adw[0]);
        const std::uint32_t cb = dwLength & kLengthMask;
        if ((dwLength >> 30) != kRecorded || cb == 0)
            return false;
        // An extent past the image's end reads as a damaged disc does: Read says so.
        const std::uint64_t cbTaken = std::min<std::uint64_t>(cb, qwLeft);
        vecExtents.push_back(
            {(static_cast<std::uint64_t>(dirent.i_part_start) + uint32_from_le(adw[1])) * kBlock, cbTaken});
        qwLeft -= cbTaken;
    }
    return qwLeft == 0;
}

} // namespace

DWORD CDiscImage::InitUdf()
{
    m_pUdf = udf_open(m_strPath.c_str());
    if (!m_pUdf)
        return ERROR_UNRECOGNIZED_VOLUME;
    if (!RootEntriesFit(m_pUdf))
        return ERROR_FILE_CORRUPT;
    udf_dirent_t* pRoot = udf_get_root(m_pUdf, true, 0);
    if (!pRoot)
        return ERROR_UNRECOGNIZED_VOLUME;
    CImageEntry entry;
    entry.bFolder = true;
    entry.qwId = pRoot->i_loc ? pRoot->i_loc : 1;
    entry.ftWrite = FileTimeFromUnix(udf_get_modification_time(pRoot), 0);
    m_deqEntries.push_back(std::move(entry));
    m_mapUdfFolders.emplace(m_deqEntries.back().qwId, pRoot);
    return ERROR_SUCCESS;
}

void CDiscImage::CloseUdf()
{
    for (auto& [i, pDirent] : m_mapUdfFolders)
        udf_dirent_free(pDirent);
    m_mapUdfFolders.clear();
    if (m_pUdf)
        udf_close(m_pUdf);
    m_pUdf = nullptr;
}

DWORD CDiscImage::ListUdfLocked(const CImageEntry& folder, std::vector<CImageEntry>& vecNew)
{
    const auto it = m_mapUdfFolders.find(folder.qwId);
    if (it == m_mapUdfFolders.end())
        return ERROR_FILE_CORRUPT; // its records could not be found
    udf_dirent_t* pDirent = it->second;
    m_mapUdfFolders.erase(it);
    if (!FolderWalkFits(m_pUdf, *pDirent, m_qwSize)) {
        udf_dirent_free(pDirent);
        return ERROR_FILE_CORRUPT;
    }
    // Each call moves the folder's dirent on to its next entry; at the end
    // the library frees it.
    while (udf_readdir(pDirent)) {
        if (vecNew.size() >= kMaxFolderEntries) {
            udf_dirent_free(pDirent);
            return ERROR_FILE_CORRUPT;
        }
        const char* pszName = udf_get_filename(pDirent);
        if (!pszName || !*pszName || std::string_view(pszName) == "." || std::string_view(pszName) == "..")
            continue;
        CImageEntry entry;
        entry.wstrName = DecodeUtf8(pszName);
        if (entry.wstrName.size() > MAX_PATH - 1 ||
            !AppendUtf8(entry.strName, entry.wstrName.data(), entry.wstrName.size()))
            continue; // no name Windows could show
        entry.bFolder = udf_is_dir(pDirent);
        entry.ftWrite = FileTimeFromUnix(udf_get_modification_time(pDirent), 0);
        if (entry.bFolder) {
            // udf_opendir reads the same entry again, from where this one came.
            udf_dirent_t* pChild = DescriptorsFit(pDirent->fe) ? udf_opendir(pDirent) : nullptr;
            entry.qwId = pChild && pChild->i_loc ? pChild->i_loc : (std::uint64_t{2} << 40) + vecNew.size();
            // Two folders that claim the same place: the second cannot be listed.
            if (pChild && !m_mapUdfFolders.emplace(entry.qwId, pChild).second)
                udf_dirent_free(pChild);
        } else {
            entry.qwSize = udf_get_file_length(pDirent);
            if (!FileExtents(*pDirent, entry.qwSize, entry.vecExtents)) {
                entry.vecExtents.clear();
                entry.dwReadError = ERROR_CRC;
            }
        }
        vecNew.push_back(std::move(entry));
    }
    return ERROR_SUCCESS;
}

} // namespace detail
} // namespace kvwin32
