// Revision 1.0 file checksum: the path alone, nothing reported while reading.
#include "checksum/CRCHelper.h"

#include "checksum/FileSum.h"

DWORD CCRCHelper::ComputeFileCRC(LPCWSTR strFilePath, BOOL* pbComplete)
{
    kvcrc::CCrcWorkspace workspace;
    return kvcrc::SumFileBlocks(*this, workspace, strFilePath, [](DWORD) {}, pbComplete);
}
