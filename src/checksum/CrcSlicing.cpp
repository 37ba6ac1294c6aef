// Slicing-by-16: sixteen bytes per step through sixteen 256-entry tables.
// Table k gives the register contribution of a byte followed by k zero
// bytes, so one step is sixteen independent look-ups XORed together.
#include "checksum/CrcKernels.h"

#include "checksum/CrcPolynomial.h"

#include <array>

namespace kvcrc {
namespace {

constexpr int SLICES = 16;
typedef std::array<std::array<DWORD, CRC_TABLE_ENTRIES>, SLICES> SliceTables;

// Built by the compiler: constant data, nothing to initialise at run time.
constexpr SliceTables MakeSliceTables()
{
    SliceTables tables{};
    for (DWORD i = 0; i < CRC_TABLE_ENTRIES; ++i)
        tables[0][i] = MulX8(i << 24);
    for (int k = 1; k < SLICES; ++k)
        for (DWORD i = 0; i < CRC_TABLE_ENTRIES; ++i)
            tables[k][i] = MulX8(tables[k - 1][i]);
    return tables;
}

constexpr SliceTables g_tables = MakeSliceTables();

inline DWORD LoadBigEndian32(const BYTE* p)
{
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) |
           (static_cast<DWORD>(p[2]) << 8) | static_cast<DWORD>(p[3]);
}

static_assert(CRC_BLOCK_SIZE % SLICES == 0, "the block is a whole number of steps");

} // namespace

DWORD BlockCrcSlicing16(const BYTE* pBlock)
{
    const auto& t = g_tables;
    DWORD r = CRC_INITIAL;
    for (const BYTE* p = pBlock; p != pBlock + CRC_BLOCK_SIZE; p += SLICES) {
        // The register lines up with the step's first four bytes.
        const DWORD w = r ^ LoadBigEndian32(p);
        r = t[15][w >> 24] ^ t[14][(w >> 16) & 0xFF] ^ t[13][(w >> 8) & 0xFF] ^ t[12][w & 0xFF] ^
            t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^ t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^
            t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]];
    }
    return r ^ CRC_FINAL_XOR;
}

} // namespace kvcrc
