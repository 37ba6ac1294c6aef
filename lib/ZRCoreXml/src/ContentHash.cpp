#include "ContentHash.h"

#include <cstring>

namespace zrxml {

namespace {

constexpr std::uint64_t kMul1 = 0x87c37b91114253d5ull;
constexpr std::uint64_t kMul2 = 0x4cf5ad432745937full;

std::uint64_t Rotl(std::uint64_t v, int iBits)
{
    return (v << iBits) | (v >> (64 - iBits));
}

std::uint64_t Load64(const unsigned char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Every input bit reaches every output bit.
std::uint64_t Finalize(std::uint64_t v)
{
    v ^= v >> 33;
    v *= 0xff51afd7ed558ccdull;
    v ^= v >> 33;
    v *= 0xc4ceb9fe1a85ec53ull;
    v ^= v >> 33;
    return v;
}

} // namespace

// Two lanes over 16-byte blocks, each feeding the other, then the tail and
// the length; multiply-rotate mixing, several bytes a cycle.
CContentHash HashContent(const unsigned char* pData, std::size_t cbData)
{
    std::uint64_t h1 = 0x9e3779b97f4a7c15ull;
    std::uint64_t h2 = 0x6a09e667f3bcc909ull;
    const std::size_t cbBlocks = cbData & ~static_cast<std::size_t>(15);
    for (std::size_t i = 0; i < cbBlocks; i += 16) {
        const std::uint64_t k1 = Rotl(Load64(pData + i) * kMul1, 31) * kMul2;
        const std::uint64_t k2 = Rotl(Load64(pData + i + 8) * kMul2, 33) * kMul1;
        h1 ^= k1;
        h1 = (Rotl(h1, 27) + h2) * 5 + 0x52dce729;
        h2 ^= k2;
        h2 = (Rotl(h2, 31) + h1) * 5 + 0x38495ab5;
    }
    unsigned char achTail[16] = {};
    if (cbData > cbBlocks) // an empty load may come without any bytes at all
        std::memcpy(achTail, pData + cbBlocks, cbData - cbBlocks);
    h1 ^= Rotl(Load64(achTail) * kMul1, 31) * kMul2;
    h2 ^= Rotl(Load64(achTail + 8) * kMul2, 33) * kMul1;
    h1 ^= static_cast<std::uint64_t>(cbData);
    h2 ^= static_cast<std::uint64_t>(cbData);
    h1 += h2;
    h2 += h1;
    h1 = Finalize(h1);
    h2 = Finalize(h2);
    h1 += h2;
    h2 += h1;
    return CContentHash{h1, h2};
}

} // namespace zrxml
