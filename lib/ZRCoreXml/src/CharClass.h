// Character classes of XML 1.0 (fifth edition) on code points.
#pragma once

#include <cstddef>

// Sixteen bytes at a time where the processor has SSE2 (every x86-64, and
// 32-bit x86 builds that ask for it); elsewhere callers scan by words.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define ZRXML_BLOCK_SCAN 1
#include <emmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#else
#define ZRXML_BLOCK_SCAN 0
#endif

namespace zrxml {

// Char: what may appear in a document at all.
constexpr bool IsXmlChar(char32_t c)
{
    if (c < 0x20)
        return c == 0x09 || c == 0x0A || c == 0x0D;
    if (c <= 0xD7FF)
        return true;
    if (c < 0xE000)
        return false;
    if (c <= 0xFFFD)
        return true;
    return c >= 0x10000 && c <= 0x10FFFF;
}

constexpr bool IsNameStartChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

constexpr bool IsNameChar(char32_t c)
{
    if (IsNameStartChar(c))
        return true;
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
           (c >= 0x203F && c <= 0x2040);
}

#if ZRXML_BLOCK_SCAN
constexpr std::size_t kBlockBytes = 16;

inline __m128i LoadBlock(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// Bit i set where byte i of the block at p ends or interrupts a run of
// character data: '<', '&', ']', CR.
inline unsigned CharDataStops(const char* p)
{
    const __m128i v = LoadBlock(p);
    const __m128i m = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('<')), _mm_cmpeq_epi8(v, _mm_set1_epi8('&'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(']')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))));
    return static_cast<unsigned>(_mm_movemask_epi8(m));
}

// Whether the block at p holds only ASCII characters XML allows (U+0020
// on, tab, LF, CR). Compared as signed bytes, 0x80 and above are below 0x20.
inline bool AllPlainAsciiBlock(const unsigned char* p)
{
    const __m128i v = LoadBlock(p);
    const int nLow = _mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
    if (nLow == 0)
        return true;
    const __m128i allowed = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))),
        _mm_cmpeq_epi8(v, _mm_set1_epi8('\t')));
    return _mm_movemask_epi8(allowed) == nLow;
}

// The index of the lowest bit set in a value that is not 0.
inline unsigned LowestBit(unsigned x)
{
#if defined(_MSC_VER)
    unsigned long i;
    _BitScanForward(&i, x);
    return static_cast<unsigned>(i);
#else
    return static_cast<unsigned>(__builtin_ctz(x));
#endif
}
#endif

} // namespace zrxml
