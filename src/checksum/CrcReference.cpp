// The byte-wise CRC: the table, the register update and CRC-32/BZIP2 of any
// length. Every faster kernel is measured against this one.
#include "checksum/CrcKernels.h"

#include "checksum/CrcPolynomial.h"

#include <array>
#include <cstring>

namespace kvcrc {

namespace {

// Worked out by the compiler: every file checksum builds its table, and
// copying a finished one costs a small file far less than computing it.
constexpr std::array<DWORD, CRC_TABLE_ENTRIES> MakeReferenceTable()
{
    std::array<DWORD, CRC_TABLE_ENTRIES> adwTable{};
    for (DWORD i = 0; i < CRC_TABLE_ENTRIES; ++i)
        adwTable[i] = MulX8(i << 24);
    return adwTable;
}

constexpr std::array<DWORD, CRC_TABLE_ENTRIES> s_adwReferenceTable = MakeReferenceTable();

} // namespace

void FillReferenceTable(DWORD* pTable)
{
    std::memcpy(pTable, s_adwReferenceTable.data(), sizeof(DWORD) * CRC_TABLE_ENTRIES);
}

DWORD UpdateReference(DWORD dwRegister, const BYTE* pData, size_t cbData, const DWORD* pTable)
{
    for (size_t i = 0; i < cbData; ++i)
        dwRegister = (dwRegister << 8) ^ pTable[(dwRegister >> 24) ^ pData[i]];
    return dwRegister;
}

DWORD RawCrc(const BYTE* pData, size_t cbData)
{
    DWORD adwTable[CRC_TABLE_ENTRIES];
    FillReferenceTable(adwTable);
    return UpdateReference(CRC_INITIAL, pData, cbData, adwTable) ^ CRC_FINAL_XOR;
}

DWORD BlockCrcReference(const BYTE* pBlock, const DWORD* pTable)
{
    return UpdateReference(CRC_INITIAL, pBlock, CRC_BLOCK_SIZE, pTable) ^ CRC_FINAL_XOR;
}

} // namespace kvcrc
