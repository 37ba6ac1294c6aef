// Which drives are images: a drive's mapping that names a regular file or a
// block device is read as a disc. The answer for a folder is kept, so that a
// drive mapped to a folder costs a string comparison more than before.
#include "image/DiscImage.h"

#include "Internal.h"

#include <sys/stat.h>

#include <mutex>

namespace kvwin32 {
namespace detail {
namespace {

struct CDriveSlot {
    std::string strValue;
    bool bFolder = false;
    // The image last opened for the value, and what the host said of the
    // file then: a file replaced or rewritten is read afresh.
    std::shared_ptr<CDiscImage> pImage;
    DWORD dwError = ERROR_SUCCESS;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t cb = 0;
    struct timespec tsWrite = {0, 0};
};

struct CDriveSlots {
    std::mutex mutex;
    CDriveSlot a[26];
};

CDriveSlots& Slots()
{
    static CDriveSlots* const s_p = new CDriveSlots; // never destroyed: handles may outlive statics
    return *s_p;
}

} // namespace

std::shared_ptr<CDiscImage> ImageForDrive(wchar_t wcLetter, const std::string& strRoot, DWORD& dwError)
{
    dwError = ERROR_SUCCESS;
    const std::size_t iSlot = static_cast<std::size_t>((wcLetter | 0x20) - L'a');
    CDriveSlots& slots = Slots();
    {
        std::lock_guard<std::mutex> lock(slots.mutex);
        const CDriveSlot& slot = slots.a[iSlot];
        if (slot.bFolder && slot.strValue == strRoot)
            return nullptr;
    }
    struct stat st;
    if (::stat(strRoot.empty() ? "/" : strRoot.c_str(), &st) != 0)
        return nullptr; // the calls say what is missing
    std::lock_guard<std::mutex> lock(slots.mutex);
    CDriveSlot& slot = slots.a[iSlot];
    if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            slot = CDriveSlot();
            slot.strValue = strRoot;
            slot.bFolder = true;
        }
        return nullptr;
    }
    if (slot.strValue == strRoot && !slot.bFolder && slot.dev == st.st_dev && slot.ino == st.st_ino &&
        slot.cb == st.st_size && slot.tsWrite.tv_sec == st.st_mtim.tv_sec &&
        slot.tsWrite.tv_nsec == st.st_mtim.tv_nsec) {
        dwError = slot.dwError;
        return slot.pImage;
    }
    slot = CDriveSlot();
    slot.strValue = strRoot;
    slot.dev = st.st_dev;
    slot.ino = st.st_ino;
    slot.cb = st.st_size;
    slot.tsWrite = st.st_mtim;
    slot.dwError = CDiscImage::Open(strRoot, slot.pImage);
    dwError = slot.dwError;
    return slot.pImage;
}

} // namespace detail
} // namespace kvwin32
