// CCRCHelper's table and block CRC, shared by both revisions.
#include "checksum/CRCHelper.h"

#include "checksum/CrcKernels.h"

CCRCHelper::~CCRCHelper() = default;

void CCRCHelper::BuildCRCTable(DWORD* pTable)
{
    kvcrc::FillReferenceTable(pTable);
}

DWORD CCRCHelper::ComputeBlockCRC(const BYTE* pBlock, const DWORD* /*pTable*/)
{
    // The fast kernels carry tables and constants of their own, derived from
    // the same polynomial; the table is what the byte-wise form would use.
    return kvcrc::BlockCrc(pBlock);
}
