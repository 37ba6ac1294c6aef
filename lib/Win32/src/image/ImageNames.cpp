// Names in directory records, turned into the names Windows shows.
#include "image/DiscImage.h"

#include <cstring>

namespace kvwin32 {
namespace detail {
namespace {

// Writers add a version (";1") that Windows does not show.
void DropVersion(std::wstring& str)
{
    const std::size_t i = str.rfind(L';');
    if (i == std::wstring::npos)
        return;
    for (std::size_t j = i + 1; j < str.size(); ++j)
        if (str[j] < L'0' || str[j] > L'9')
            return;
    str.resize(i);
}

std::uint32_t LittleEndian32(const unsigned char* pb)
{
    return static_cast<std::uint32_t>(pb[0]) | static_cast<std::uint32_t>(pb[1]) << 8 |
           static_cast<std::uint32_t>(pb[2]) << 16 | static_cast<std::uint32_t>(pb[3]) << 24;
}

} // namespace

std::wstring JolietName(const unsigned char* pb, std::size_t cb)
{
    std::wstring str;
    for (std::size_t i = 0; i + 1 < cb; i += 2) {
        const char32_t ch = static_cast<char32_t>(pb[i] << 8 | pb[i + 1]);
        if (ch >= 0xD800 && ch <= 0xDBFF && i + 3 < cb) {
            const char32_t chLow = static_cast<char32_t>(pb[i + 2] << 8 | pb[i + 3]);
            if (chLow >= 0xDC00 && chLow <= 0xDFFF) {
                str += static_cast<wchar_t>(0x10000 + ((ch - 0xD800) << 10) + (chLow - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (ch >= 0xD800 && ch <= 0xDFFF)
            return std::wstring();
        str += static_cast<wchar_t>(ch);
    }
    DropVersion(str);
    return str;
}

std::wstring IsoName(const unsigned char* pb, std::size_t cb)
{
    std::wstring str;
    for (std::size_t i = 0; i < cb; ++i) {
        // d-characters are ASCII; anything else a writer put there is shown as Latin-1.
        str += static_cast<wchar_t>(pb[i]);
    }
    DropVersion(str);
    // "NAME." is a name without an extension.
    if (!str.empty() && str.back() == L'.')
        str.pop_back();
    return str;
}

bool RockRidgeName(const unsigned char* pbArea, std::size_t cbArea, const FnReadArea& fnReadArea,
                   std::string& strName)
{
    // A long name goes on in continuation areas elsewhere on the disc, each
    // named by a "CE" entry; a damaged disc could chain them in a circle.
    constexpr int kMaxAreas = 16;
    constexpr std::uint32_t kMaxAreaBytes = 64 * 1024;
    bool bFound = false;
    strName.clear();
    std::vector<unsigned char> vecArea;
    for (int iArea = 0; iArea < kMaxAreas; ++iArea) {
        bool bContinued = false;
        std::uint64_t qwBlock = 0;
        std::uint32_t cbNext = 0, ibNext = 0;
        // Entries: two letters, a length that counts the four header bytes, a version.
        for (std::size_t i = 0; i + 4 <= cbArea;) {
            const std::size_t cbEntry = pbArea[i + 2];
            if (cbEntry < 4 || i + cbEntry > cbArea)
                break;
            const unsigned char* pb = pbArea + i;
            if (pb[0] == 'S' && pb[1] == 'T')
                break;
            // "NM": flags, then the name or a piece of it (flag 1: more follows).
            // "." and ".." (flags 2, 4) name no file.
            if (pb[0] == 'N' && pb[1] == 'M' && cbEntry >= 5 && !(pb[4] & 0x06)) {
                strName.append(reinterpret_cast<const char*>(pb + 5), cbEntry - 5);
                bFound = true;
            }
            // "CE": block, offset and length, each both-endian; the
            // little-endian halves come first.
            if (pb[0] == 'C' && pb[1] == 'E' && cbEntry >= 28) {
                qwBlock = LittleEndian32(pb + 4);
                ibNext = LittleEndian32(pb + 12);
                cbNext = LittleEndian32(pb + 20);
                bContinued = true;
            }
            i += cbEntry;
        }
        if (!bContinued || cbNext == 0 || cbNext > kMaxAreaBytes ||
            !fnReadArea(qwBlock * 2048 /* a logical block */ + ibNext, cbNext, vecArea))
            break;
        pbArea = vecArea.data();
        cbArea = vecArea.size();
    }
    if (strName.empty() || strName.find('\0') != std::string::npos || strName.find('/') != std::string::npos)
        return false;
    return bFound;
}

} // namespace detail
} // namespace kvwin32
