// The block CRC: the table, the reference values, and every kernel against
// the byte-wise reference.
#include "checksum/CRCHelper.h"
#include "checksum/CrcKernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using kvcrc::CRC_BLOCK_SIZE;
using kvcrc::ECrcKernel;

typedef std::vector<BYTE> Block;

Block ZeroBlock()
{
    return Block(CRC_BLOCK_SIZE, 0);
}

Block BlockOf(const std::string& strStart)
{
    Block block = ZeroBlock();
    std::copy(strStart.begin(), strStart.end(), block.begin());
    return block;
}

std::string Hex(DWORD dw)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "0x%08X", static_cast<unsigned>(dw));
    return sz;
}
#define EXPECT_CRC(expected, actual) EXPECT_EQ(Hex(expected), Hex(actual))

// Entry i of the table straight from its definition, one bit at a time.
DWORD TableEntryByBits(DWORD i)
{
    DWORD v = i << 24;
    for (int k = 0; k < 8; ++k)
        v = (v & 0x80000000u) ? (v << 1) ^ 0x04C11DB7u : v << 1;
    return v;
}

TEST(CrcTable, KnownEntries)
{
    DWORD adwTable[256] = {};
    CCRCHelper helper;
    helper.BuildCRCTable(adwTable);
    EXPECT_CRC(0x00000000, adwTable[0]);
    EXPECT_CRC(0x04C11DB7, adwTable[1]);
    EXPECT_CRC(0x690CE0EE, adwTable[128]);
    EXPECT_CRC(0xB1F740B4, adwTable[255]);
}

TEST(CrcTable, EveryEntryFromTheDefinition)
{
    // A canary past the end catches a table filled beyond its 256 entries.
    std::vector<DWORD> table(257, 0xA5A5A5A5);
    CCRCHelper().BuildCRCTable(table.data());
    for (DWORD i = 0; i < 256; ++i)
        EXPECT_CRC(TableEntryByBits(i), table[i]) << "entry " << i;
    EXPECT_CRC(0xA5A5A5A5, table[256]);
}

TEST(CrcRaw, KnownValues)
{
    const std::string strCheck = "123456789";
    EXPECT_CRC(0xFC891918, kvcrc::RawCrc(reinterpret_cast<const BYTE*>(strCheck.data()), strCheck.size()));
    // Nothing fed: the initial value undone by the final XOR.
    EXPECT_CRC(0x00000000, kvcrc::RawCrc(nullptr, 0));
    const BYTE abA[] = {'a'};
    EXPECT_CRC(0x19939B6B, kvcrc::RawCrc(abA, 1));
}

TEST(CrcBlock, KnownValues)
{
    CCRCHelper helper;
    DWORD adwTable[256];
    helper.BuildCRCTable(adwTable);
    struct {
        const char* pszName;
        Block block;
        DWORD dwExpected;
    } const cases[] = {
        {"all zero", ZeroBlock(), 0x614B2AD5},
        {"abc then zeros", BlockOf("abc"), 0x736FDBF8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        EXPECT_CRC(c.dwExpected, helper.ComputeBlockCRC(c.block.data(), adwTable));
        EXPECT_CRC(c.dwExpected, kvcrc::BlockCrcReference(c.block.data(), adwTable));
        EXPECT_CRC(c.dwExpected, kvcrc::RawCrc(c.block.data(), c.block.size()));
    }
}

TEST(CrcBlock, ReadsNoFurtherThanTheBlock)
{
    // The block is followed by bytes that must not count.
    Block buffer(CRC_BLOCK_SIZE + 256, 0xEE);
    std::fill(buffer.begin(), buffer.begin() + CRC_BLOCK_SIZE, 0);
    DWORD adwTable[256];
    CCRCHelper helper;
    helper.BuildCRCTable(adwTable);
    EXPECT_CRC(0x614B2AD5, helper.ComputeBlockCRC(buffer.data(), adwTable));
}

// ---------------------------------------------------------------------------
// Every kernel against the reference.

class CrcKernel : public testing::TestWithParam<ECrcKernel> {
  protected:
    void SetUp() override
    {
        m_pfnKernel = kvcrc::KernelFunction(GetParam());
        if (!m_pfnKernel)
            GTEST_SKIP() << kvcrc::KernelName(GetParam()) << " is not available here";
        kvcrc::FillReferenceTable(m_adwTable);
    }
    DWORD Reference(const Block& block) const { return kvcrc::BlockCrcReference(block.data(), m_adwTable); }
    void ExpectAsReference(const Block& block, const std::string& strWhat) const
    {
        EXPECT_CRC(Reference(block), m_pfnKernel(block.data())) << strWhat;
    }

    kvcrc::PFNBLOCKCRC m_pfnKernel = nullptr;
    DWORD m_adwTable[256] = {};
};

TEST_P(CrcKernel, KnownBlocks)
{
    EXPECT_CRC(0x614B2AD5, m_pfnKernel(ZeroBlock().data()));
    EXPECT_CRC(0x736FDBF8, m_pfnKernel(BlockOf("abc").data()));
    ExpectAsReference(Block(CRC_BLOCK_SIZE, 0xFF), "all 0xFF");
}

TEST_P(CrcKernel, RandomBlocks)
{
    std::mt19937 rng(20240611u + static_cast<unsigned>(GetParam()));
    Block block(CRC_BLOCK_SIZE);
    for (int i = 0; i < 64; ++i) {
        for (BYTE& b : block)
            b = static_cast<BYTE>(rng());
        ExpectAsReference(block, "random block " + std::to_string(i));
    }
}

// One bit set: each position exercises one fold distance, so a wrong folding
// constant or a lane taken in the wrong order shows up here first.
TEST_P(CrcKernel, SingleBitAtLaneAndStepBoundaries)
{
    const size_t aOffsets[] = {0,     1,     3,     4,     15,    16,    17,    31,    32,    47,
                               48,    63,    64,    127,   128,   191,   192,   255,   256,   511,
                               512,   1023,  1024,  8191,  8192,  16127, 16128, 16255, 16256, 16319,
                               16320, 16335, 16336, 16351, 16352, 16367, 16368, 16376, 16380, 16383};
    for (size_t off : aOffsets) {
        for (int iBit : {0, 7}) {
            Block block = ZeroBlock();
            block[off] = static_cast<BYTE>(1u << iBit);
            ExpectAsReference(block, "bit " + std::to_string(iBit) + " of byte " + std::to_string(off));
        }
    }
}

TEST_P(CrcKernel, UnalignedBlock)
{
    std::mt19937 rng(7u);
    Block buffer(CRC_BLOCK_SIZE + 64);
    for (BYTE& b : buffer)
        b = static_cast<BYTE>(rng());
    for (size_t shift : {1u, 3u, 8u, 33u}) {
        Block block(buffer.begin() + static_cast<std::ptrdiff_t>(shift),
                    buffer.begin() + static_cast<std::ptrdiff_t>(shift + CRC_BLOCK_SIZE));
        EXPECT_CRC(Reference(block), m_pfnKernel(buffer.data() + shift)) << "shifted by " << shift;
    }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, CrcKernel, testing::ValuesIn(kvcrc::ALL_KERNELS),
                         [](const testing::TestParamInfo<ECrcKernel>& info) {
                             return std::string(kvcrc::KernelName(info.param));
                         });

// ---------------------------------------------------------------------------
// The dispatch.

TEST(CrcDispatch, ActiveKernelIsAvailableAndNotTheByteWiseOne)
{
    const ECrcKernel eActive = kvcrc::ActiveKernel();
    EXPECT_NE(nullptr, kvcrc::KernelFunction(eActive)) << kvcrc::KernelName(eActive);
    EXPECT_NE(ECrcKernel::Reference, eActive);
}

TEST(CrcDispatch, PrefersCarrylessMultiplyWhenThereIsOne)
{
    if (!kvcrc::KernelFunction(ECrcKernel::Clmul))
        GTEST_SKIP() << "no PCLMULQDQ here";
    EXPECT_NE(ECrcKernel::Slicing16, kvcrc::ActiveKernel());
    if (kvcrc::KernelFunction(ECrcKernel::Vpclmul256)) {
        EXPECT_NE(ECrcKernel::Clmul, kvcrc::ActiveKernel());
    }
}

TEST(CrcDispatch, GivesTheReferenceValue)
{
    std::mt19937 rng(99u);
    Block block(CRC_BLOCK_SIZE);
    for (BYTE& b : block)
        b = static_cast<BYTE>(rng());
    DWORD adwTable[256];
    CCRCHelper helper;
    helper.BuildCRCTable(adwTable);
    EXPECT_CRC(kvcrc::BlockCrcReference(block.data(), adwTable),
               helper.ComputeBlockCRC(block.data(), adwTable));
    EXPECT_CRC(kvcrc::RawCrc(block.data(), block.size()), kvcrc::BlockCrc(block.data()));
}

} // namespace
