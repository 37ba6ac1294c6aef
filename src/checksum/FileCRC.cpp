// Revision 1.1 file checksum: every read feeds the verifier's progress.
#include "checksum/CRCHelper.h"

#include "Korvane.h"
#include "checksum/FileSum.h"

DWORD CCRCHelper::ComputeFileCRC(CKorvane* pVerifier, LPCWSTR strFilePath, BOOL* pbComplete)
{
    kvcrc::CCrcWorkspace workspace;
    if (pbComplete)
        *pbComplete = FALSE;
    if (!pVerifier)
        return kvcrc::FILE_CRC_NONE;
    return kvcrc::SumFileBlocks(*this, workspace, strFilePath, [pVerifier](DWORD dwRead) {
        // An abort answer only raises m_bAbortVerif, which the caller tests
        // once the whole file has been read.
        pVerifier->CBProgress(0, nullptr, dwRead, nullptr);
    }, pbComplete);
}
