// The read loop of a file checksum, shared by CCRCHelper::ComputeFileCRC and
// the checksum export: they differ only in what each read's count goes to.
#pragma once

#include <windows.h>

#include "checksum/CRCHelper.h"
#include "checksum/CrcKernels.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

namespace kvcrc {

// The checksum when none can be taken: no sink, or the file does not open.
constexpr DWORD FILE_CRC_NONE = 0xFFFFFFFF;

// The table and the block buffer of one file checksum, on the heap for the
// length of the call. Construction throws std::bad_alloc when either cannot
// be allocated; whatever was allocated is released on every path.
class CCrcWorkspace {
  public:
    // Not zero-filled here: the table is built before the reads and the
    // block cleared after each read beyond what it read.
    CCrcWorkspace()
        : m_pTable(new DWORD[CRC_TABLE_ENTRIES]),
          m_pBlock(static_cast<BYTE*>(::operator new[](CRC_BLOCK_SIZE, std::align_val_t(BLOCK_ALIGNMENT))))
    {
    }
    DWORD* Table() { return m_pTable.get(); }
    BYTE* Block() { return m_pBlock.get(); }

    // The block starts a page: the system copies each read into it, and a
    // copy to an address new[] gives (16-byte aligned) measured four times
    // slower than one to a cache line's start on a machine of ours.
    static constexpr std::size_t BLOCK_ALIGNMENT = 4096;

  private:
    struct CBlockDelete {
        void operator()(BYTE* p) const { ::operator delete[](p, std::align_val_t(BLOCK_ALIGNMENT)); }
    };
    std::unique_ptr<DWORD[]> m_pTable;
    std::unique_ptr<BYTE[], CBlockDelete> m_pBlock;
};

// A file opened for reading, closed on every way out, an exception thrown
// from the progress callback included.
class CReadHandle {
  public:
    explicit CReadHandle(HANDLE hFile) : m_hFile(hFile) {}
    ~CReadHandle()
    {
        if (IsOpen())
            CloseHandle(m_hFile);
    }
    CReadHandle(const CReadHandle&) = delete;
    CReadHandle& operator=(const CReadHandle&) = delete;

    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_hFile; }

  private:
    HANDLE m_hFile;
};

// Builds the table, then sums the CRCs of the file's zero-padded 16 KiB
// blocks; fnOnRead(dwRead) is called after each read. A file whose size is a
// multiple of 16 KiB ends with a read of 0 bytes, whose all-zero block counts
// too. FILE_CRC_NONE when the file does not open, with no call of fnOnRead.
// *pbComplete (if given) is TRUE when the file opened and no read failed.
template <class FnOnRead>
DWORD SumFileBlocks(CCRCHelper& helper, CCrcWorkspace& workspace, LPCWSTR strFilePath, FnOnRead fnOnRead,
                    BOOL* pbComplete)
{
    if (pbComplete)
        *pbComplete = FALSE;
    DWORD dwSum = 0;
    helper.BuildCRCTable(workspace.Table());

    CReadHandle file(
        CreateFileW(strFilePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsOpen())
        return FILE_CRC_NONE;

    BOOL bReadsOk = TRUE;
    DWORD dwRead = 0;
    do {
        // Only the count feeds the sum: a read that fails counts 0 bytes and
        // ends the loop, its all-zero block summed like any other. Its result
        // only tells the caller, through *pbComplete, that the sum is partial.
        dwRead = 0;
        if (!ReadFile(file.Get(), workspace.Block(), CRC_BLOCK_SIZE, &dwRead, nullptr)) {
            bReadsOk = FALSE;
            dwRead = 0;
        }
        if (dwRead > CRC_BLOCK_SIZE)
            dwRead = CRC_BLOCK_SIZE;
        // Zeros after what was read, whatever the call left there: a full
        // block, the usual case, needs no clearing at all.
        std::memset(workspace.Block() + dwRead, 0, CRC_BLOCK_SIZE - dwRead);
        dwSum += helper.ComputeBlockCRC(workspace.Block(), workspace.Table());
        fnOnRead(dwRead);
    } while (dwRead == CRC_BLOCK_SIZE);
    if (pbComplete)
        *pbComplete = bReadsOk;
    return dwSum;
}

} // namespace kvcrc
