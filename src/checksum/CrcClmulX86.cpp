// Block CRC by carry-less multiplication (PCLMULQDQ, VPCLMULQDQ), x86 only.
//
// The block is read as one polynomial, first byte's top bit highest. Each
// 16-byte lane is byte-reversed so that its bit i is the coefficient of x^i
// within the lane. Folding a lane A = hi*x^64 + lo forward by D bits uses
//     A*x^D = hi*x^(D+64) + lo*x^D == hi*(x^(D+64) mod P) ^ lo*(x^D mod P),
// two 64x32-bit products that fit the lane again, XORed into the data D bits
// further on. The last lane is then reduced to its 32-bit remainder with two
// more folds and a Barrett step. The initial value 0xFFFFFFFF is XORed into
// the first four bytes, which is what it does to an MSB-first register.
//
// This is the one file with intrinsics; it builds to nothing but "no such
// kernel" on other processors.
#include "checksum/CrcKernels.h"

#include "checksum/CrcPolynomial.h"

#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)) && !defined(_M_ARM64EC)
#define KVCRC_X86 1
#else
#define KVCRC_X86 0
#endif

#if KVCRC_X86

#include <immintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
// Visual C++ allows every intrinsic in every function.
#define KVCRC_TARGET(features)
#else
#include <cpuid.h>
#define KVCRC_TARGET(features) __attribute__((target(features)))
#endif

#define KVCRC_TARGET_CLMUL KVCRC_TARGET("pclmul,sse4.1")
#define KVCRC_TARGET_VPCLMUL256 KVCRC_TARGET("avx2,vpclmulqdq,pclmul,sse4.1")
#define KVCRC_TARGET_VPCLMUL512 KVCRC_TARGET("avx512f,avx512bw,vpclmulqdq,pclmul,sse4.1")

namespace kvcrc {
namespace {

// ---------------------------------------------------------------------------
// Constants, all derived at compile time from the polynomial.

struct FoldConstant {
    std::uint64_t qwLo; // x^D mod P, multiplies the lane's low half
    std::uint64_t qwHi; // x^(D+64) mod P, multiplies its high half
};

constexpr FoldConstant FoldBy(unsigned uBits)
{
    return FoldConstant{XPowModP(uBits), XPowModP(uBits + 64)};
}

constexpr FoldConstant FOLD_128 = FoldBy(128);
constexpr FoldConstant FOLD_256 = FoldBy(256);
constexpr FoldConstant FOLD_384 = FoldBy(384);
constexpr FoldConstant FOLD_512 = FoldBy(512);
constexpr FoldConstant FOLD_768 = FoldBy(768);
constexpr FoldConstant FOLD_1024 = FoldBy(1024);
constexpr FoldConstant FOLD_1536 = FoldBy(1536);
constexpr FoldConstant FOLD_2048 = FoldBy(2048);

// Final reduction: x^96 and x^64 mod P, then Barrett with floor(x^64 / P).
constexpr std::uint64_t X96_MOD_P = XPowModP(96);
constexpr std::uint64_t X64_MOD_P = XPowModP(64);
constexpr std::uint64_t BARRETT_MU = X64DivP();

static_assert(CRC_BLOCK_SIZE % 256 == 0, "every kernel takes whole steps");

// ---------------------------------------------------------------------------
// 128-bit pieces, shared by all three kernels.

KVCRC_TARGET_CLMUL inline __m128i Pair(std::uint64_t qwHi, std::uint64_t qwLo)
{
    return _mm_set_epi64x(static_cast<long long>(qwHi), static_cast<long long>(qwLo));
}

KVCRC_TARGET_CLMUL inline __m128i FoldConstant128(const FoldConstant& k)
{
    return Pair(k.qwHi, k.qwLo);
}

// Byte j of a lane takes byte 15 - j.
KVCRC_TARGET_CLMUL inline __m128i ByteReverse128()
{
    return _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

// The initial register value, over the first four bytes of the block.
KVCRC_TARGET_CLMUL inline __m128i Initial128()
{
    return _mm_set_epi32(static_cast<int>(CRC_INITIAL), 0, 0, 0);
}

KVCRC_TARGET_CLMUL inline __m128i Load128(const BYTE* p, __m128i xReverse)
{
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), xReverse);
}

KVCRC_TARGET_CLMUL inline __m128i Fold128(__m128i x, __m128i k)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

// r * x^32 mod P for the 128-bit polynomial r.
KVCRC_TARGET_CLMUL DWORD Reduce128(__m128i r)
{
    const __m128i kReduce = Pair(X64_MOD_P, X96_MOD_P);
    const __m128i kBarrett = Pair(CRC_POLYNOMIAL_FULL, BARRETT_MU);
    // r*x^32 = hi*x^96 + lo*x^32: at most 96 bits.
    __m128i t = _mm_xor_si128(_mm_clmulepi64_si128(r, kReduce, 0x01), _mm_slli_si128(_mm_move_epi64(r), 4));
    // t = top*x^64 + low, top of 32 bits: at most 64 bits.
    __m128i u = _mm_xor_si128(_mm_clmulepi64_si128(_mm_srli_si128(t, 8), kReduce, 0x10), _mm_move_epi64(t));
    // Barrett: q = floor(floor(u / x^32) * mu / x^32) = floor(u / P), remainder u - q*P.
    __m128i q = _mm_srli_epi64(_mm_clmulepi64_si128(_mm_srli_epi64(u, 32), kBarrett, 0x00), 32);
    __m128i rem = _mm_xor_si128(u, _mm_clmulepi64_si128(q, kBarrett, 0x10));
    return static_cast<DWORD>(_mm_cvtsi128_si32(rem));
}

// ---------------------------------------------------------------------------
// PCLMULQDQ on 128-bit registers: four lanes, 64 bytes a step. Four keep the
// multiplier busy and fit the eight registers of 32-bit code.

KVCRC_TARGET_CLMUL DWORD BlockCrcClmul(const BYTE* pBlock)
{
    const __m128i xReverse = ByteReverse128();
    const __m128i k512 = FoldConstant128(FOLD_512);

    __m128i x0 = _mm_xor_si128(Load128(pBlock, xReverse), Initial128());
    __m128i x1 = Load128(pBlock + 16, xReverse);
    __m128i x2 = Load128(pBlock + 32, xReverse);
    __m128i x3 = Load128(pBlock + 48, xReverse);
    for (const BYTE* p = pBlock + 64; p != pBlock + CRC_BLOCK_SIZE; p += 64) {
        x0 = _mm_xor_si128(Fold128(x0, k512), Load128(p, xReverse));
        x1 = _mm_xor_si128(Fold128(x1, k512), Load128(p + 16, xReverse));
        x2 = _mm_xor_si128(Fold128(x2, k512), Load128(p + 32, xReverse));
        x3 = _mm_xor_si128(Fold128(x3, k512), Load128(p + 48, xReverse));
    }
    // x0 lies 384 bits before the end of x3, x1 256, x2 128.
    __m128i r = _mm_xor_si128(x3, Fold128(x2, FoldConstant128(FOLD_128)));
    r = _mm_xor_si128(r, Fold128(x1, FoldConstant128(FOLD_256)));
    r = _mm_xor_si128(r, Fold128(x0, FoldConstant128(FOLD_384)));
    return Reduce128(r) ^ CRC_FINAL_XOR;
}

// ---------------------------------------------------------------------------
// VPCLMULQDQ on 256-bit registers: four registers of two lanes, 128 bytes a
// step. Every lane of a register folds by the same distance.

KVCRC_TARGET_VPCLMUL256 inline __m256i Broadcast256(__m128i x)
{
    return _mm256_broadcastsi128_si256(x);
}

KVCRC_TARGET_VPCLMUL256 inline __m256i Load256(const BYTE* p, __m256i yReverse)
{
    return _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), yReverse);
}

KVCRC_TARGET_VPCLMUL256 inline __m256i Fold256(__m256i y, __m256i k)
{
    return _mm256_xor_si256(_mm256_clmulepi64_epi128(y, k, 0x00), _mm256_clmulepi64_epi128(y, k, 0x11));
}

KVCRC_TARGET_VPCLMUL256 DWORD BlockCrcVpclmul256(const BYTE* pBlock)
{
    const __m256i yReverse = Broadcast256(ByteReverse128());
    const __m256i k1024 = Broadcast256(FoldConstant128(FOLD_1024));
    // Only the first lane holds the first four bytes.
    const __m256i yInitial = _mm256_set_epi32(0, 0, 0, 0, static_cast<int>(CRC_INITIAL), 0, 0, 0);

    __m256i y0 = _mm256_xor_si256(Load256(pBlock, yReverse), yInitial);
    __m256i y1 = Load256(pBlock + 32, yReverse);
    __m256i y2 = Load256(pBlock + 64, yReverse);
    __m256i y3 = Load256(pBlock + 96, yReverse);
    for (const BYTE* p = pBlock + 128; p != pBlock + CRC_BLOCK_SIZE; p += 128) {
        y0 = _mm256_xor_si256(Fold256(y0, k1024), Load256(p, yReverse));
        y1 = _mm256_xor_si256(Fold256(y1, k1024), Load256(p + 32, yReverse));
        y2 = _mm256_xor_si256(Fold256(y2, k1024), Load256(p + 64, yReverse));
        y3 = _mm256_xor_si256(Fold256(y3, k1024), Load256(p + 96, yReverse));
    }
    __m256i y = _mm256_xor_si256(y3, Fold256(y2, Broadcast256(FoldConstant128(FOLD_256))));
    y = _mm256_xor_si256(y, Fold256(y1, Broadcast256(FoldConstant128(FOLD_512))));
    y = _mm256_xor_si256(y, Fold256(y0, Broadcast256(FoldConstant128(FOLD_768))));
    // The low lane comes first in memory.
    __m128i r = _mm_xor_si128(_mm256_extracti128_si256(y, 1),
                              Fold128(_mm256_castsi256_si128(y), FoldConstant128(FOLD_128)));
    return Reduce128(r) ^ CRC_FINAL_XOR;
}

// ---------------------------------------------------------------------------
// VPCLMULQDQ on 512-bit registers: four registers of four lanes, 256 bytes
// a step.

// The zero-masking forms of broadcast and extract, with every lane kept:
// GCC 12 warns that the plain forms read an uninitialised value.
KVCRC_TARGET_VPCLMUL512 inline __m512i Broadcast512(__m128i x)
{
    return _mm512_maskz_broadcast_i32x4(0xFFFF, x);
}

template <int LANE> KVCRC_TARGET_VPCLMUL512 inline __m128i Lane512(__m512i z)
{
    return _mm512_maskz_extracti32x4_epi32(0xF, z, LANE);
}

KVCRC_TARGET_VPCLMUL512 inline __m512i Load512(const BYTE* p, __m512i zReverse)
{
    return _mm512_shuffle_epi8(_mm512_loadu_si512(p), zReverse);
}

// Fold z by k and XOR in d, in one three-way XOR.
KVCRC_TARGET_VPCLMUL512 inline __m512i Fold512(__m512i z, __m512i k, __m512i d)
{
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(z, k, 0x00),
                                     _mm512_clmulepi64_epi128(z, k, 0x11), d, 0x96);
}

KVCRC_TARGET_VPCLMUL512 DWORD BlockCrcVpclmul512(const BYTE* pBlock)
{
    const __m512i zReverse = Broadcast512(ByteReverse128());
    const __m512i k2048 = Broadcast512(FoldConstant128(FOLD_2048));
    const __m512i zInitial =
        _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<int>(CRC_INITIAL), 0, 0, 0);

    __m512i z0 = _mm512_xor_si512(Load512(pBlock, zReverse), zInitial);
    __m512i z1 = Load512(pBlock + 64, zReverse);
    __m512i z2 = Load512(pBlock + 128, zReverse);
    __m512i z3 = Load512(pBlock + 192, zReverse);
    for (const BYTE* p = pBlock + 256; p != pBlock + CRC_BLOCK_SIZE; p += 256) {
        z0 = Fold512(z0, k2048, Load512(p, zReverse));
        z1 = Fold512(z1, k2048, Load512(p + 64, zReverse));
        z2 = Fold512(z2, k2048, Load512(p + 128, zReverse));
        z3 = Fold512(z3, k2048, Load512(p + 192, zReverse));
    }
    __m512i z = Fold512(z2, Broadcast512(FoldConstant128(FOLD_512)), z3);
    z = Fold512(z1, Broadcast512(FoldConstant128(FOLD_1024)), z);
    z = Fold512(z0, Broadcast512(FoldConstant128(FOLD_1536)), z);
    // Lane 0 comes first in memory: 384 bits before the end of lane 3.
    __m128i r = Lane512<3>(z);
    r = _mm_xor_si128(r, Fold128(Lane512<2>(z), FoldConstant128(FOLD_128)));
    r = _mm_xor_si128(r, Fold128(Lane512<1>(z), FoldConstant128(FOLD_256)));
    r = _mm_xor_si128(r, Fold128(Lane512<0>(z), FoldConstant128(FOLD_384)));
    return Reduce128(r) ^ CRC_FINAL_XOR;
}

// ---------------------------------------------------------------------------
// What this processor and its operating system allow.

struct CpuFeatures {
    bool bClmul = false;
    bool bVpclmul256 = false;
    bool bVpclmul512 = false;
};

// Registers EAX, EBX, ECX, EDX of CPUID leaf/subleaf; zeros past the last leaf.
void Cpuid(unsigned uLeaf, unsigned uSubleaf, unsigned auRegs[4])
{
    auRegs[0] = auRegs[1] = auRegs[2] = auRegs[3] = 0;
#if defined(_MSC_VER) && !defined(__clang__)
    int aiRegs[4];
    __cpuid(aiRegs, 0);
    if (static_cast<unsigned>(aiRegs[0]) < uLeaf)
        return;
    __cpuidex(aiRegs, static_cast<int>(uLeaf), static_cast<int>(uSubleaf));
    for (int i = 0; i < 4; ++i)
        auRegs[i] = static_cast<unsigned>(aiRegs[i]);
#else
    if (static_cast<unsigned>(__get_cpuid_max(0, nullptr)) < uLeaf)
        return;
    __cpuid_count(uLeaf, uSubleaf, auRegs[0], auRegs[1], auRegs[2], auRegs[3]);
#endif
}

// The register states the operating system saves and restores (XCR0).
KVCRC_TARGET("xsave") std::uint64_t EnabledStates()
{
    return static_cast<std::uint64_t>(_xgetbv(0));
}

constexpr std::uint64_t XSTATE_SSE_AVX = 0x06; // XMM and the upper halves of YMM
constexpr std::uint64_t XSTATE_AVX512 = 0xE0;  // opmask, upper ZMM halves, ZMM16-31

bool Bit(unsigned uReg, int iBit)
{
    return ((uReg >> iBit) & 1u) != 0;
}

CpuFeatures DetectFeatures()
{
    CpuFeatures features;
    unsigned auLeaf1[4];
    unsigned auLeaf7[4];
    Cpuid(1, 0, auLeaf1);
    Cpuid(7, 0, auLeaf7);
    const unsigned uEcx1 = auLeaf1[2];
    const unsigned uEbx7 = auLeaf7[1];
    const unsigned uEcx7 = auLeaf7[2];

    const bool bPclmul = Bit(uEcx1, 1);
    const bool bSsse3 = Bit(uEcx1, 9);
    const bool bSse41 = Bit(uEcx1, 19);
    const bool bOsxsave = Bit(uEcx1, 27);
    const bool bAvx = Bit(uEcx1, 28);
    const bool bAvx2 = Bit(uEbx7, 5);
    const bool bAvx512f = Bit(uEbx7, 16);
    const bool bAvx512bw = Bit(uEbx7, 30);
    const bool bVpclmul = Bit(uEcx7, 10);

    features.bClmul = bPclmul && bSsse3 && bSse41;
    // The wider registers are only safe when the OS saves them on a switch.
    const std::uint64_t qwStates = bOsxsave ? EnabledStates() : 0;
    const bool bOsAvx = (qwStates & XSTATE_SSE_AVX) == XSTATE_SSE_AVX;
    const bool bOsAvx512 = bOsAvx && (qwStates & XSTATE_AVX512) == XSTATE_AVX512;
    features.bVpclmul256 = features.bClmul && bAvx && bAvx2 && bVpclmul && bOsAvx;
    features.bVpclmul512 = features.bVpclmul256 && bAvx512f && bAvx512bw && bOsAvx512;
    return features;
}

const CpuFeatures& Features()
{
    static const CpuFeatures s_features = DetectFeatures();
    return s_features;
}

} // namespace

PFNBLOCKCRC ClmulKernelFunction(ECrcKernel eKernel)
{
    const CpuFeatures& features = Features();
    switch (eKernel) {
    case ECrcKernel::Clmul:
        return features.bClmul ? &BlockCrcClmul : nullptr;
    case ECrcKernel::Vpclmul256:
        return features.bVpclmul256 ? &BlockCrcVpclmul256 : nullptr;
    case ECrcKernel::Vpclmul512:
        return features.bVpclmul512 ? &BlockCrcVpclmul512 : nullptr;
    default:
        return nullptr;
    }
}

} // namespace kvcrc

#else // not x86

namespace kvcrc {

PFNBLOCKCRC ClmulKernelFunction(ECrcKernel)
{
    return nullptr;
}

} // namespace kvcrc

#endif
