// CCRCHelper: the checksum of one file, the sum modulo 2^32 of the
// CRC-32/BZIP2 values of its 16 KiB blocks, the last block padded with zero
// bytes. The file comparison keeps one on its stack for each file pair.
#pragma once

#include <windows.h>

namespace kvcrc {

// Where a file checksum hands the byte count of each read, in the order of
// the reads: pfnOnRead(pContext, dwRead).
struct ReadSink {
    void (*pfnOnRead)(void* pContext, DWORD dwRead);
    void* pContext;
};

// A sink for callers that follow nothing while a file is read.
void IgnoreRead(void* pContext, DWORD dwRead);
constexpr ReadSink NO_READ_REPORTS = {&IgnoreRead, nullptr};

} // namespace kvcrc

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

    // The checksum of the file strFilePath. Every read's byte count goes to
    // pSink; the file is read to its end whatever the sink does with it.
    // 0xFFFFFFFF without a sink (the file is not opened) or when the file
    // cannot be opened. Throws std::bad_alloc when its buffers cannot be had.
    // *pbComplete, when given, tells whether the file was opened and read to
    // its end without a failed read: 0xFFFFFFFF alone cannot tell.
    DWORD ComputeFileCRC(const kvcrc::ReadSink* pSink, LPCWSTR strFilePath, BOOL* pbComplete = nullptr);
};
