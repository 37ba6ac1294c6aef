// The file checksum: every read's count goes to the caller's sink.
#include "checksum/CRCHelper.h"

#include "checksum/FileSum.h"

namespace kvcrc {

void IgnoreRead(void* /*pContext*/, DWORD /*dwRead*/) {}

} // namespace kvcrc

DWORD CCRCHelper::ComputeFileCRC(const kvcrc::ReadSink* pSink, LPCWSTR strFilePath, BOOL* pbComplete)
{
    kvcrc::CCrcWorkspace workspace;
    if (pbComplete)
        *pbComplete = FALSE;
    if (!pSink)
        return kvcrc::FILE_CRC_NONE;
    return kvcrc::SumFileBlocks(
        *this, workspace, strFilePath, [pSink](DWORD dwRead) { pSink->pfnOnRead(pSink->pContext, dwRead); },
        pbComplete);
}
