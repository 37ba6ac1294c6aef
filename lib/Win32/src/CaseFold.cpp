// Unicode simple case folding, as NTFS and Wine compare names: one code
// point to one, so a name's folded form is as long as the name in
// characters.
#include "NameLookup.h"

#include <algorithm>
#include <iterator>

namespace kvwin32 {
namespace detail {

namespace {

struct CFoldRun {
    char32_t chFirst;
    char32_t chLast;
    std::int32_t iOffset;
    std::int32_t iStep;
};

constexpr CFoldRun kFoldRuns[] = {
#include "CaseFoldTable.inc"
};

// The length of the UTF-8 sequence at p (at most cbLeft bytes) and its
// code point; 0 when the bytes are not valid UTF-8.
std::size_t DecodeOne(const unsigned char* p, std::size_t cbLeft, char32_t& ch)
{
    const unsigned char b = p[0];
    std::size_t cb;
    char32_t chMin;
    if (b < 0x80) {
        ch = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        cb = 2, ch = b & 0x1F, chMin = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        cb = 3, ch = b & 0x0F, chMin = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        cb = 4, ch = b & 0x07, chMin = 0x10000;
    } else {
        return 0;
    }
    if (cb > cbLeft)
        return 0;
    for (std::size_t i = 1; i < cb; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        ch = (ch << 6) | (p[i] & 0x3F);
    }
    if (ch < chMin || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return 0;
    return cb;
}

void AppendOne(std::string& str, char32_t ch)
{
    if (ch < 0x80) {
        str += static_cast<char>(ch);
    } else if (ch < 0x800) {
        str += static_cast<char>(0xC0 | (ch >> 6));
        str += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        str += static_cast<char>(0xE0 | (ch >> 12));
        str += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        str += static_cast<char>(0xF0 | (ch >> 18));
        str += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        str += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        str += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

} // namespace

char32_t FoldChar(char32_t ch)
{
    if (ch < 0x80)
        return ch >= U'A' && ch <= U'Z' ? ch + 32 : ch;
    // The last run that starts at or before ch.
    const CFoldRun* pEnd = std::end(kFoldRuns);
    const CFoldRun* p = std::upper_bound(std::begin(kFoldRuns), pEnd, ch,
                                         [](char32_t c, const CFoldRun& run) { return c < run.chFirst; });
    if (p == std::begin(kFoldRuns))
        return ch;
    --p;
    if (ch > p->chLast || (ch - p->chFirst) % static_cast<char32_t>(p->iStep) != 0)
        return ch;
    return static_cast<char32_t>(static_cast<std::int32_t>(ch) + p->iOffset);
}

void AppendFoldedName(std::string& strOut, std::string_view svName)
{
    const auto* p = reinterpret_cast<const unsigned char*>(svName.data());
    const std::size_t cb = svName.size();
    for (std::size_t i = 0; i < cb;) {
        if (p[i] < 0x80) {
            const char c = static_cast<char>(p[i]);
            strOut += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
            ++i;
            continue;
        }
        char32_t ch;
        const std::size_t cbOne = DecodeOne(p + i, cb - i, ch);
        if (cbOne == 0) {
            strOut += static_cast<char>(p[i]); // not UTF-8: kept, so it never equals a folded name
            ++i;
            continue;
        }
        AppendOne(strOut, FoldChar(ch));
        i += cbOne;
    }
}

} // namespace detail
} // namespace kvwin32
