// The block CRC kernels behind CCRCHelper::ComputeBlockCRC, for the checksum
// itself, its tests and its benchmarks. Every kernel computes CRC-32/BZIP2
// (polynomial 0x04C11DB7, most significant bit first, initial value and
// final XOR 0xFFFFFFFF) and gives the same value as the byte-wise reference.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kvcrc {

// A file is checksummed in blocks of this size, the last one zero-padded.
constexpr DWORD CRC_BLOCK_SIZE = 16384;
// Entries of the byte-wise table (1,024 bytes).
constexpr DWORD CRC_TABLE_ENTRIES = 256;
constexpr DWORD CRC_INITIAL = 0xFFFFFFFF;
constexpr DWORD CRC_FINAL_XOR = 0xFFFFFFFF;

// The byte-wise table, most significant bit first.
void FillReferenceTable(DWORD* pTable);
// The CRC register after feeding cbData bytes, one at a time through pTable.
DWORD UpdateReference(DWORD dwRegister, const BYTE* pData, size_t cbData, const DWORD* pTable);
// CRC-32/BZIP2 of any number of bytes, byte-wise with a table of its own.
DWORD RawCrc(const BYTE* pData, size_t cbData);

// The kernels. Each one takes exactly CRC_BLOCK_SIZE bytes.
enum class ECrcKernel {
    Reference,  // a byte at a time through the 256-entry table
    Slicing16,  // sixteen bytes at a time through sixteen tables; portable
    Clmul,      // folding with PCLMULQDQ on 128-bit registers
    Vpclmul256, // folding with VPCLMULQDQ on 256-bit registers (AVX2)
    Vpclmul512, // folding with VPCLMULQDQ on 512-bit registers (AVX-512)
};
constexpr ECrcKernel ALL_KERNELS[] = {ECrcKernel::Reference, ECrcKernel::Slicing16, ECrcKernel::Clmul,
                                      ECrcKernel::Vpclmul256, ECrcKernel::Vpclmul512};

typedef DWORD (*PFNBLOCKCRC)(const BYTE* pBlock);

DWORD BlockCrcReference(const BYTE* pBlock, const DWORD* pTable);
DWORD BlockCrcSlicing16(const BYTE* pBlock);

// The kernel, or null when this build or this processor lacks it. The
// reference kernel is given with a table of its own.
PFNBLOCKCRC KernelFunction(ECrcKernel eKernel);
// The carry-less multiply kernels usable here (x86 only), or null.
PFNBLOCKCRC ClmulKernelFunction(ECrcKernel eKernel);
const char* KernelName(ECrcKernel eKernel);

// The fastest kernel usable here, chosen on first use.
ECrcKernel ActiveKernel();
DWORD BlockCrc(const BYTE* pBlock);

} // namespace kvcrc
