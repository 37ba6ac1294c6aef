// CCRCHelper: the checksum of one file, the sum modulo 2^32 of the
// CRC-32/BZIP2 values of its 16 KiB blocks, the last block padded with zero
// bytes. The file comparison keeps one on its stack for each file pair.
#pragma once

#include <windows.h>

#include "KorvaneRevision.h"

class CKorvane;

class CCRCHelper {
public:
    virtual ~CCRCHelper();

    // Fills the 256 entries of pTable: the most-significant-bit-first table
    // of the polynomial 0x04C11DB7.
    void BuildCRCTable(DWORD* pTable);

    // CRC-32/BZIP2 of exactly 16,384 bytes. pTable is a table from
    // BuildCRCTable; the kernel chosen for this processor gives the same
    // value as a byte-wise pass through it.
    DWORD ComputeBlockCRC(const BYTE* pBlock, const DWORD* pTable);

#if KORVANE_REVISION >= 11
    // The checksum of the file strFilePath. Every read's byte count goes to
    // pVerifier->CBProgress; the file is read to its end even when the host
    // asks for an abort there. 0xFFFFFFFF without a verifier or when the file
    // cannot be opened. Throws std::bad_alloc when its buffers cannot be had.
    // *pbComplete, when given, tells whether the file was opened and read to
    // its end without a failed read: 0xFFFFFFFF alone cannot tell.
    DWORD ComputeFileCRC(CKorvane* pVerifier, LPCWSTR strFilePath, BOOL* pbComplete = nullptr);
#else
    // The checksum of the file strFilePath; 0xFFFFFFFF when the file cannot be
    // opened. Throws std::bad_alloc when its buffers cannot be had.
    // *pbComplete as for revision 1.1.
    DWORD ComputeFileCRC(LPCWSTR strFilePath, BOOL* pbComplete = nullptr);
#endif
};
