// KorvaneFileChecksum: the disc checksum of one file, without a verifier,
// progress or trace.
#include "KorvaneChecksum.h"

#include "checksum/FileSum.h"

#include <new>

DWORD KorvaneFileChecksum(LPCWSTR pszPath)
{
    if (!pszPath)
        return kvcrc::FILE_CRC_NONE;
    try {
        CCRCHelper helper;
        kvcrc::CCrcWorkspace workspace;
        return kvcrc::SumFileBlocks(
            helper, workspace, pszPath, [](DWORD) {}, nullptr);
    } catch (const std::bad_alloc&) {
        // Nothing may escape into a C caller (the host library's).
        return kvcrc::FILE_CRC_NONE;
    }
}
