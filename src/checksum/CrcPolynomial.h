// Arithmetic modulo the CRC-32 polynomial, most significant bit first, as
// compile-time functions: the kernels derive their tables and folding
// constants from these rather than carrying magic numbers.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kvcrc {

// x^32 + x^26 + x^23 + ... + 1 without its x^32 term.
constexpr DWORD CRC_POLYNOMIAL = 0x04C11DB7;
// The same with the x^32 term, for carry-less division.
constexpr std::uint64_t CRC_POLYNOMIAL_FULL = 0x100000000ull | CRC_POLYNOMIAL;

// v * x mod P, for v of degree below 32.
constexpr DWORD MulX(DWORD v)
{
    return (v & 0x80000000u) ? static_cast<DWORD>((v << 1) ^ CRC_POLYNOMIAL) : static_cast<DWORD>(v << 1);
}

// v * x^8 mod P: what one byte of zeros does to the register.
constexpr DWORD MulX8(DWORD v)
{
    for (int i = 0; i < 8; ++i)
        v = MulX(v);
    return v;
}

// x^n mod P.
constexpr DWORD XPowModP(unsigned uExponent)
{
    DWORD v = 1;
    for (unsigned i = 0; i < uExponent; ++i)
        v = MulX(v);
    return v;
}

// floor(x^64 / P), 33 bits: the Barrett constant of the final reduction.
constexpr std::uint64_t X64DivP()
{
    std::uint64_t qwRem = 0;
    std::uint64_t qwQuot = 0;
    // Long division of x^64 (a 1 followed by 64 zeros) one bit at a time.
    for (int iBit = 64; iBit >= 0; --iBit) {
        qwRem = (qwRem << 1) | (iBit == 64 ? 1u : 0u);
        qwQuot <<= 1;
        if (qwRem & 0x100000000ull) {
            qwRem ^= CRC_POLYNOMIAL_FULL;
            qwQuot |= 1;
        }
    }
    return qwQuot;
}

} // namespace kvcrc
