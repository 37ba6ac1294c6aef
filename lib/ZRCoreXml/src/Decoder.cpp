#include "Decoder.h"

#include "CharClass.h"
#include "Utf8.h"
#include "XmlDecl.h"
#include "XmlErrors.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace zrxml {

namespace {

enum class Encoding { Utf8, Utf16Le, Utf16Be, Latin1, Cp1252, Ascii, Utf16Named, Unknown };

bool EqualNoCase(const std::string& str, const char* psz)
{
    size_t i = 0;
    for (; i < str.size() && psz[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(str[i])) != psz[i])
            return false;
    return i == str.size() && psz[i] == 0;
}

Encoding EncodingFromName(const std::string& strName)
{
    static const struct {
        const char* pszName; // lower case
        Encoding eEncoding;
    } kNames[] = {
        {"utf-8", Encoding::Utf8},          {"utf8", Encoding::Utf8},
        {"iso-8859-1", Encoding::Latin1},   {"iso8859-1", Encoding::Latin1},
        {"iso_8859-1", Encoding::Latin1},   {"latin1", Encoding::Latin1},
        {"latin-1", Encoding::Latin1},      {"windows-1252", Encoding::Cp1252},
        {"cp1252", Encoding::Cp1252},       {"x-cp1252", Encoding::Cp1252},
        {"us-ascii", Encoding::Ascii},      {"ascii", Encoding::Ascii},
        {"utf-16", Encoding::Utf16Named},   {"utf-16le", Encoding::Utf16Named},
        {"utf-16be", Encoding::Utf16Named},
    };
    for (const auto& name : kNames)
        if (EqualNoCase(strName, name.pszName))
            return name.eEncoding;
    return Encoding::Unknown;
}

// Appends a decoded character, CR LF and lone CR becoming LF.
class CSink {
  public:
    explicit CSink(std::string& str) : m_str(str) {}

    HRESULT Put(char32_t c)
    {
        if (!IsXmlChar(c))
            return XML_E_BADCHAR;
        if (c == '\r') {
            m_str += '\n';
            m_bAfterCr = true;
            return S_OK;
        }
        if (!(c == '\n' && m_bAfterCr))
            AppendUtf8(m_str, c);
        m_bAfterCr = false;
        return S_OK;
    }

  private:
    std::string& m_str;
    bool m_bAfterCr = false;
};

HRESULT DecodeUtf16(const unsigned char* p, size_t cb, bool bBigEndian, std::string& str)
{
    if (cb % 2 != 0)
        return XML_E_BADBYTES;
    str.reserve(cb / 2 + cb / 8);
    CSink sink(str);
    const unsigned char* const pEnd = p + cb;
    auto unit = [bBigEndian](const unsigned char* q) -> char32_t {
        return bBigEndian ? (char32_t(q[0]) << 8) | q[1] : (char32_t(q[1]) << 8) | q[0];
    };
    while (p < pEnd) {
        char32_t c = unit(p);
        p += 2;
        if (c >= 0xDC00 && c <= 0xDFFF)
            return XML_E_BADBYTES;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (p == pEnd)
                return XML_E_BADBYTES;
            const char32_t lo = unit(p);
            if (lo < 0xDC00 || lo > 0xDFFF)
                return XML_E_BADBYTES;
            p += 2;
            c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        }
        const HRESULT hr = sink.Put(c);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// windows-1252 bytes 0x80..0x9F; 0 where the code page leaves a byte undefined.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

HRESULT DecodeSingleByte(const unsigned char* p, size_t cb, Encoding eEncoding, std::string& str)
{
    str.reserve(cb + cb / 8);
    CSink sink(str);
    for (const unsigned char* const pEnd = p + cb; p < pEnd; ++p) {
        char32_t c = *p;
        if (c >= 0x80) {
            if (eEncoding == Encoding::Ascii)
                return XML_E_BADBYTES;
            if (eEncoding == Encoding::Cp1252 && c < 0xA0) {
                c = kCp1252High[c - 0x80];
                if (c == 0)
                    return XML_E_BADBYTES;
            }
        }
        const HRESULT hr = sink.Put(c);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Eight bytes at a time: whether all are ASCII characters XML allows
// (U+0020 on, tab, LF, CR), which need no further look. The tests are
// exact per byte: no sum carries from one byte into the next.
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// The high bit of each byte of x (all below 0x80) that equals b.
inline std::uint64_t BytesEqual(std::uint64_t x, unsigned char b)
{
    const std::uint64_t z = x ^ (kOnes * b);
    return ~(z + kLow7) & kHigh;
}

inline bool AllPlainAscii(const unsigned char* p)
{
    std::uint64_t x;
    std::memcpy(&x, p, sizeof x);
    if ((x & kHigh) != 0)
        return false;
    // x + 0x60 has its high bit set exactly where a byte is 0x20 or more.
    const std::uint64_t qwControls = ~(x + 0x6060606060606060ULL) & kHigh;
    if (qwControls == 0)
        return true;
    return (qwControls & ~(BytesEqual(x, '\n') | BytesEqual(x, '\r') | BytesEqual(x, '\t'))) == 0;
}

// Checks UTF-8 in place. Line ends are left as they are: the parser reads
// CR as white space and normalizes it in the text it keeps.
HRESULT CheckUtf8(const unsigned char* p, size_t cb)
{
    const unsigned char* const pEnd = p + cb;
    while (p < pEnd) {
#if ZRXML_BLOCK_SCAN
        while (static_cast<size_t>(pEnd - p) >= kBlockBytes && AllPlainAsciiBlock(p))
            p += kBlockBytes;
#endif
        while (pEnd - p >= 8 && AllPlainAscii(p))
            p += 8;
        while (p < pEnd && *p >= 0x20 && *p < 0x80)
            ++p;
        if (p == pEnd)
            break;
        const unsigned char b = *p;
        if (b < 0x80) {
            if (b < 0x20 && b != '\t' && b != '\n' && b != '\r')
                return XML_E_BADCHAR;
            ++p;
            continue;
        }
        size_t nMore;
        unsigned char bLow = 0x80, bHigh = 0xBF; // range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            nMore = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            nMore = 2;
            if (b == 0xE0)
                bLow = 0xA0;
            else if (b == 0xED)
                bHigh = 0x9F; // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            nMore = 3;
            if (b == 0xF0)
                bLow = 0x90;
            else if (b == 0xF4)
                bHigh = 0x8F;
        } else {
            return XML_E_BADBYTES;
        }
        if (static_cast<size_t>(pEnd - p) <= nMore || p[1] < bLow || p[1] > bHigh)
            return XML_E_BADBYTES;
        for (size_t i = 2; i <= nMore; ++i)
            if (!IsContinuation(p[i]))
                return XML_E_BADBYTES;
        if (b == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF))
            return XML_E_BADCHAR; // U+FFFE, U+FFFF
        p += nMore + 1;
    }
    return S_OK;
}

} // namespace

HRESULT DecodeDocument(const unsigned char* pData, std::size_t cbData, CDecodedText& text)
{
    XmlDecl decl;
    const char* pAfter = nullptr;

    if (cbData >= 2 && ((pData[0] == 0xFF && pData[1] == 0xFE) || (pData[0] == 0xFE && pData[1] == 0xFF))) {
        const HRESULT hr = DecodeUtf16(pData + 2, cbData - 2, pData[0] == 0xFE, text.Owned());
        if (FAILED(hr))
            return hr;
        text.UseOwned();
        const std::string_view sv = text.View();
        // A malformed declaration is the parser's to report.
        if (ParseXmlDecl(sv.data(), sv.data() + sv.size(), decl, pAfter) == S_OK &&
            !decl.strEncoding.empty() && EncodingFromName(decl.strEncoding) != Encoding::Utf16Named)
            return XML_E_ENCODING;
        return S_OK;
    }

    bool bUtf8Bom = false;
    if (cbData >= 3 && pData[0] == 0xEF && pData[1] == 0xBB && pData[2] == 0xBF) {
        bUtf8Bom = true;
        pData += 3;
        cbData -= 3;
    }
    Encoding eEncoding = Encoding::Utf8;
    const char* const pText = reinterpret_cast<const char*>(pData);
    if (ParseXmlDecl(pText, pText + cbData, decl, pAfter) == S_OK && !decl.strEncoding.empty()) {
        eEncoding = EncodingFromName(decl.strEncoding);
        // UTF-16 without a byte order mark cannot have been read this far as ASCII.
        if (eEncoding == Encoding::Unknown || eEncoding == Encoding::Utf16Named ||
            (bUtf8Bom && eEncoding != Encoding::Utf8))
            return XML_E_ENCODING;
    }
    if (eEncoding == Encoding::Utf8) {
        const HRESULT hr = CheckUtf8(pData, cbData);
        if (SUCCEEDED(hr))
            text.SetView(std::string_view(reinterpret_cast<const char*>(pData), cbData));
        return hr;
    }
    const HRESULT hr = DecodeSingleByte(pData, cbData, eEncoding, text.Owned());
    if (SUCCEEDED(hr))
        text.UseOwned();
    return hr;
}

} // namespace zrxml
