#include "Parser.h"

#include "CharClass.h"
#include "Utf8.h"
#include "XmlDecl.h"
#include "XmlErrors.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

namespace zrxml {

namespace {

enum class Match { Yes, No, Short };

bool IsSpaceByte(char c)
{
    // One test of a bit for the four of them, all at or below ' '.
    constexpr std::uint64_t kSpaces = (1ULL << ' ') | (1ULL << '\t') | (1ULL << '\n') | (1ULL << '\r');
    const unsigned char b = static_cast<unsigned char>(c);
    return b <= ' ' && ((kSpaces >> b) & 1) != 0;
}

int DigitValue(char c, bool bHex)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (bHex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (bHex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Name characters among the ASCII ones, the usual case, by table.
constexpr unsigned char kNameStart = 1;
constexpr unsigned char kNamePart = 2;
struct CAsciiNameTable {
    unsigned char a[128];
    constexpr CAsciiNameTable() : a()
    {
        for (char32_t c = 0; c < 128; ++c)
            a[c] = static_cast<unsigned char>((IsNameStartChar(c) ? kNameStart : 0) |
                                              (IsNameChar(c) ? kNamePart : 0));
    }
};
constexpr CAsciiNameTable kAsciiName;

// Whether a name read at p ends before this byte: any ASCII byte that
// cannot continue a name does; others need decoding to tell.
inline bool EndsAsciiName(char c)
{
    const unsigned char b = static_cast<unsigned char>(c);
    return b < 0x80 && !(kAsciiName.a[b] & kNamePart);
}

void AppendUtf8To(CRawBuffer<char>& buf, char32_t c)
{
    char ach[4];
    buf.Append(ach, static_cast<size_t>(kvutf::EncodeUtf8(c, ach)));
}

// Eight bytes at a time: whether any of them is one of the bytes that end
// or interrupt a run of character data ('<', '&', ']', CR).
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

constexpr std::uint64_t HasZeroByte(std::uint64_t x)
{
    return (x - kOnes) & ~x & kHighBits;
}

inline bool HasCharDataStop(const char* p)
{
    std::uint64_t x;
    std::memcpy(&x, p, sizeof x);
    return (HasZeroByte(x ^ (kOnes * '<')) | HasZeroByte(x ^ (kOnes * '&')) | HasZeroByte(x ^ (kOnes * ']')) |
            HasZeroByte(x ^ (kOnes * '\r'))) != 0;
}

// One pass over the text with an explicit stack of open elements: the
// nesting depth costs heap, never stack.
class CParser {
  public:
    CParser(std::string_view svText, CTree& tree)
        : m_p(svText.data()), m_pEnd(svText.data() + svText.size()), m_tree(tree)
    {
    }

    HRESULT Run()
    {
        m_tree.Reserve(Left());
        XmlDecl decl;
        HRESULT hr = ParseXmlDecl(m_p, m_pEnd, decl, m_p);
        if (FAILED(hr))
            return hr;
        bool bDoctype = false;
        bool bRoot = false;
        for (;;) {
            SkipSpace();
            if (m_p == m_pEnd)
                break;
            if (*m_p != '<')
                return XML_E_TEXTOUTSIDE;
            if (Left() < 2)
                return XML_E_TRUNCATED;
            const char c = m_p[1];
            if (c == '?') {
                hr = ParsePi();
            } else if (c == '!') {
                const Match eComment = Starts("<!--");
                const Match eDoctype = Starts("<!DOCTYPE");
                if (eComment == Match::Yes) {
                    hr = ParseComment();
                } else if (eDoctype == Match::Yes) {
                    if (bDoctype || bRoot)
                        return XML_E_SYNTAX;
                    bDoctype = true;
                    hr = ParseDoctype();
                } else {
                    return eComment == Match::Short || eDoctype == Match::Short ? XML_E_TRUNCATED
                                                                                : XML_E_SYNTAX;
                }
            } else if (c == '/') {
                return XML_E_SYNTAX; // an end tag with nothing open
            } else if (bRoot) {
                return XML_E_SECONDROOT;
            } else {
                bRoot = true;
                hr = ParseElements();
            }
            if (FAILED(hr))
                return hr;
        }
        if (!bRoot)
            return XML_E_NOROOT;
        m_tree.Finish();
        return S_OK;
    }

  private:
    struct OpenElement {
        uint32_t nElement;
        uint32_t nName;
        uint32_t nChildMark; // where its children start in m_bufChildren
        size_t cbTextMark;   // where its text starts in m_bufPending
        std::string_view svName;
    };

    size_t Left() const { return static_cast<size_t>(m_pEnd - m_p); }

    Match Starts(std::string_view svLiteral) const
    {
        const size_t cb = std::min(Left(), svLiteral.size());
        if (std::string_view(m_p, cb) != svLiteral.substr(0, cb))
            return Match::No;
        return cb == svLiteral.size() ? Match::Yes : Match::Short;
    }

    bool SkipSpace()
    {
        const char* const pStart = m_p;
        while (m_p < m_pEnd && IsSpaceByte(*m_p))
            ++m_p;
        return m_p != pStart;
    }

    // The position of svLiteral from m_p on, or null.
    const char* Find(std::string_view svLiteral) const
    {
        const size_t nPos = std::string_view(m_p, Left()).find(svLiteral);
        return nPos == std::string_view::npos ? nullptr : m_p + nPos;
    }

    HRESULT ReadName(std::string_view& svName)
    {
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        const char* const pStart = m_p;
        const unsigned char bFirst = static_cast<unsigned char>(*m_p);
        if (bFirst < 0x80) {
            if (!(kAsciiName.a[bFirst] & kNameStart))
                return XML_E_SYNTAX;
            ++m_p;
        } else {
            const char* q = m_p;
            if (!IsNameStartChar(DecodeValidUtf8(q)))
                return XML_E_SYNTAX;
            m_p = q;
        }
        while (m_p < m_pEnd) {
            const unsigned char b = static_cast<unsigned char>(*m_p);
            if (b < 0x80) {
                if (!(kAsciiName.a[b] & kNamePart))
                    break;
                ++m_p;
                continue;
            }
            const char* q = m_p;
            if (!IsNameChar(DecodeValidUtf8(q)))
                break;
            m_p = q;
        }
        svName = std::string_view(pStart, static_cast<size_t>(m_p - pStart));
        return S_OK;
    }

    // Text as the element keeps it: line ends (CR LF, a lone CR) read as LF.
    void AppendText(const char* p, const char* pEnd)
    {
        while (p < pEnd) {
            const char* pCr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(pEnd - p)));
            if (!pCr) {
                m_bufPending.Append(p, static_cast<size_t>(pEnd - p));
                return;
            }
            m_bufPending.Append(p, static_cast<size_t>(pCr - p));
            m_bufPending.PushBack('\n');
            p = pCr + 1;
            if (p < pEnd && *p == '\n')
                ++p;
        }
    }

    // White space as AppendText keeps it, for the short runs of indentation.
    void AppendSpace(const char* p, const char* pEnd)
    {
        const size_t cbOld = m_bufPending.Size();
        m_bufPending.ReserveMore(static_cast<size_t>(pEnd - p));
        char* const pOut = m_bufPending.Data() + cbOld;
        size_t cb = 0;
        for (; p < pEnd; ++p) {
            if (*p == '\r') {
                pOut[cb++] = '\n';
                if (p + 1 < pEnd && p[1] == '\n')
                    ++p;
            } else {
                pOut[cb++] = *p;
            }
        }
        m_bufPending.ResizeUninitialized(cbOld + cb);
    }

    // The root element and everything in it.
    HRESULT ParseElements()
    {
        HRESULT hr = ParseStartTag();
        while (SUCCEEDED(hr) && !m_vecOpen.empty()) {
            if (m_p == m_pEnd)
                return XML_E_TRUNCATED;
            if (*m_p == '&') {
                hr = ParseReference(&m_bufPending);
                continue;
            }
            if (*m_p != '<') {
                hr = ParseCharData();
                continue;
            }
            if (Left() < 2)
                return XML_E_TRUNCATED;
            switch (m_p[1]) {
            case '/':
                hr = ParseEndTag();
                break;
            case '?':
                hr = ParsePi();
                break;
            case '!': {
                const Match eComment = Starts("<!--");
                const Match eCData = Starts("<![CDATA[");
                if (eComment == Match::Yes)
                    hr = ParseComment();
                else if (eCData == Match::Yes)
                    hr = ParseCData();
                else
                    hr = eComment == Match::Short || eCData == Match::Short ? XML_E_TRUNCATED : XML_E_SYNTAX;
                break;
            }
            default:
                hr = ParseStartTag();
                break;
            }
        }
        return hr;
    }

    HRESULT ParseStartTag()
    {
        ++m_p; // '<'
        uint32_t nName = m_tree.GuessedName();
        if (nName != CTree::kNone && IsNameAtCursor(nName)) {
            // The name the last entry had here, and nothing more of a name
            // after it: it reads the same as ReadName and InternName would.
            m_p += m_tree.NameBytes(nName).size();
            m_tree.TakeGuess(nName);
        } else {
            std::string_view svName;
            const HRESULT hr = ReadName(svName);
            if (FAILED(hr))
                return hr;
            nName = m_tree.InternName(svName);
        }
        uint32_t nElement = 0;
        if (!m_tree.AddElement(nName, nElement))
            return XML_E_TOOLARGE;
        if (!m_vecOpen.empty())
            m_bufChildren.PushBack(nElement);
        if (m_p < m_pEnd && *m_p == '>') {
            ++m_p;
            Open(nElement, nName);
            return S_OK;
        }
        return ParseRestOfStartTag(nElement, nName);
    }

    // Whether the bytes at m_p are the name and end it.
    bool IsNameAtCursor(uint32_t nName) const
    {
        const size_t cch = m_tree.NameBytes(nName).size();
        return Left() > cch && EndsAsciiName(m_p[cch]) && m_tree.IsNameAt(nName, m_p, m_pEnd);
    }

    void Open(uint32_t nElement, uint32_t nName)
    {
        m_vecOpen.push_back(OpenElement{nElement, nName, static_cast<uint32_t>(m_bufChildren.Size()),
                                        m_bufPending.Size(), m_tree.NameBytes(nName)});
    }

    // Attributes, white space and the end of a start tag after its name.
    HRESULT ParseRestOfStartTag(uint32_t nElement, uint32_t nName)
    {
        m_vecAttributes.clear();
        if (!m_setAttributes.empty())
            m_setAttributes = {}; // also drops a large bucket array
        for (;;) {
            const bool bSpace = SkipSpace();
            if (m_p == m_pEnd)
                return XML_E_TRUNCATED;
            if (*m_p == '>') {
                ++m_p;
                Open(nElement, nName);
                return S_OK;
            }
            if (*m_p == '/') {
                if (Left() < 2)
                    return XML_E_TRUNCATED;
                if (m_p[1] != '>')
                    return XML_E_SYNTAX;
                m_p += 2;
                return S_OK;
            }
            if (!bSpace)
                return XML_E_SYNTAX;
            const HRESULT hr = ParseAttribute();
            if (FAILED(hr))
                return hr;
        }
    }

    // Attributes are checked, not kept: nothing reads them.
    HRESULT ParseAttribute()
    {
        std::string_view svName;
        HRESULT hr = ReadName(svName);
        if (FAILED(hr))
            return hr;
        SkipSpace();
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        if (*m_p != '=')
            return XML_E_SYNTAX;
        ++m_p;
        SkipSpace();
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        const char chQuote = *m_p;
        if (chQuote != '"' && chQuote != '\'')
            return XML_E_SYNTAX;
        ++m_p;
        for (;;) {
            if (m_p == m_pEnd)
                return XML_E_TRUNCATED;
            const char c = *m_p;
            if (c == chQuote) {
                ++m_p;
                break;
            }
            if (c == '<')
                return XML_E_SYNTAX;
            if (c == '&') {
                hr = ParseReference(nullptr);
                if (FAILED(hr))
                    return hr;
            } else {
                ++m_p;
            }
        }
        return CheckUnique(svName);
    }

    // A scan for the usual few attributes, a set once there are many.
    HRESULT CheckUnique(std::string_view svName)
    {
        constexpr size_t kScanLimit = 8;
        if (m_setAttributes.empty() && m_vecAttributes.size() < kScanLimit) {
            for (std::string_view svSeen : m_vecAttributes)
                if (svSeen == svName)
                    return XML_E_DUPATTR;
            m_vecAttributes.push_back(svName);
            return S_OK;
        }
        if (m_setAttributes.empty())
            m_setAttributes.insert(m_vecAttributes.begin(), m_vecAttributes.end());
        return m_setAttributes.insert(svName).second ? S_OK : XML_E_DUPATTR;
    }

    HRESULT ParseEndTag()
    {
        m_p += 2; // "</"
        const OpenElement& open = m_vecOpen.back();
        // Usually the open element's name and '>' ('>' ends any name).
        const size_t cchOpen = open.svName.size();
        if (Left() > cchOpen && m_p[cchOpen] == '>' && m_tree.IsNameAt(open.nName, m_p, m_pEnd)) {
            m_p += cchOpen + 1;
        } else {
            std::string_view svName;
            const HRESULT hr = ReadName(svName);
            if (FAILED(hr))
                return hr;
            SkipSpace();
            if (m_p == m_pEnd)
                return XML_E_TRUNCATED;
            if (*m_p != '>')
                return XML_E_SYNTAX;
            ++m_p;
            if (svName != open.svName)
                return XML_E_TAGMISMATCH;
        }
        std::string_view svText(m_bufPending.Data() + open.cbTextMark, m_bufPending.Size() - open.cbTextMark);
        if (m_bLeafText) {
            svText = m_svLeafText;
            m_bLeafText = false;
        }
        if (!m_tree.CloseElement(open.nElement, m_bufChildren.Data() + open.nChildMark,
                                 static_cast<uint32_t>(m_bufChildren.Size() - open.nChildMark), svText))
            return XML_E_TOOLARGE;
        m_bufPending.Truncate(open.cbTextMark);
        m_bufChildren.Truncate(open.nChildMark);
        m_vecOpen.pop_back();
        return S_OK;
    }

    HRESULT ParseCharData()
    {
        const char* q = m_p;
        bool bCr = false;
        // White space up to markup (the indentation of a pretty-printed
        // document) needs none of the checks of other text.
        while (q < m_pEnd && IsSpaceByte(*q)) {
            bCr |= *q == '\r';
            ++q;
        }
        if (q < m_pEnd && *q == '<' && q != m_p) {
            if (bCr)
                AppendSpace(m_p, q);
            else
                m_bufPending.Append(m_p, static_cast<size_t>(q - m_p));
            m_p = q;
            return S_OK;
        }
        for (;;) {
#if ZRXML_BLOCK_SCAN
            while (static_cast<size_t>(m_pEnd - q) >= kBlockBytes) {
                const unsigned nStops = CharDataStops(q);
                if (nStops != 0) {
                    q += LowestBit(nStops);
                    break;
                }
                q += kBlockBytes;
            }
#endif
            while (m_pEnd - q >= 8 && !HasCharDataStop(q))
                q += 8;
            if (q == m_pEnd)
                break;
            const char c = *q;
            if (c == '<' || c == '&')
                break;
            if (c == ']' && m_pEnd - q >= 3 && q[1] == ']' && q[2] == '>')
                return XML_E_SYNTAX;
            if (c == '\r')
                bCr = true;
            ++q;
        }
        // The whole text of an element without markup in it (the common
        // leaf) goes to the tree straight from the input at its end tag.
        if (!bCr && m_pEnd - q >= 2 && q[1] == '/' && *q == '<' &&
            m_bufPending.Size() == m_vecOpen.back().cbTextMark) {
            m_svLeafText = std::string_view(m_p, static_cast<size_t>(q - m_p));
            m_bLeafText = true;
        } else {
            AppendText(m_p, q);
        }
        m_p = q;
        return S_OK;
    }

    HRESULT ParseCData()
    {
        m_p += 9; // "<![CDATA["
        const char* const pClose = Find("]]>");
        if (!pClose)
            return XML_E_TRUNCATED;
        AppendText(m_p, pClose);
        m_p = pClose + 3;
        return S_OK;
    }

    // After '&': a character reference or one of the five predefined
    // entities. Declared entities are never expanded, so any other name fails.
    HRESULT ParseReference(CRawBuffer<char>* pOut)
    {
        ++m_p;
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        if (*m_p == '#') {
            ++m_p;
            const bool bHex = m_p < m_pEnd && *m_p == 'x';
            if (bHex)
                ++m_p;
            char32_t c = 0;
            bool bDigits = false;
            int nDigit;
            while (m_p < m_pEnd && (nDigit = DigitValue(*m_p, bHex)) >= 0) {
                bDigits = true;
                c = c * (bHex ? 16 : 10) + static_cast<char32_t>(nDigit);
                if (c > 0x10FFFF)
                    c = 0x110000; // stays out of range, cannot overflow
                ++m_p;
            }
            if (m_p == m_pEnd)
                return XML_E_TRUNCATED;
            if (!bDigits || *m_p != ';')
                return XML_E_SYNTAX;
            ++m_p;
            if (!IsXmlChar(c))
                return XML_E_CHARREF;
            if (pOut)
                AppendUtf8To(*pOut, c);
            return S_OK;
        }
        std::string_view svName;
        const HRESULT hr = ReadName(svName);
        if (FAILED(hr))
            return hr;
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        if (*m_p != ';')
            return XML_E_SYNTAX;
        ++m_p;
        static const struct {
            std::string_view svName;
            char c;
        } kEntities[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
        for (const auto& entity : kEntities) {
            if (entity.svName == svName) {
                if (pOut)
                    pOut->PushBack(entity.c);
                return S_OK;
            }
        }
        return XML_E_ENTITY;
    }

    HRESULT ParseComment()
    {
        m_p += 4; // "<!--"
        const char* const pDashes = Find("--");
        if (!pDashes || m_pEnd - pDashes < 3)
            return XML_E_TRUNCATED;
        if (pDashes[2] != '>')
            return XML_E_SYNTAX; // "--" inside a comment
        m_p = pDashes + 3;
        return S_OK;
    }

    HRESULT ParsePi()
    {
        m_p += 2; // "<?"
        std::string_view svTarget;
        const HRESULT hr = ReadName(svTarget);
        if (FAILED(hr))
            return hr;
        // The declaration belongs at the very start only; other
        // capitalisations of the name are reserved.
        if (svTarget.size() == 3 && (svTarget[0] | 0x20) == 'x' && (svTarget[1] | 0x20) == 'm' &&
            (svTarget[2] | 0x20) == 'l')
            return XML_E_SYNTAX;
        if (Starts("?>") == Match::Yes) {
            m_p += 2;
            return S_OK;
        }
        if (m_p == m_pEnd || Starts("?>") == Match::Short)
            return XML_E_TRUNCATED;
        if (!SkipSpace())
            return XML_E_SYNTAX;
        const char* const pClose = Find("?>");
        if (!pClose)
            return XML_E_TRUNCATED;
        m_p = pClose + 2;
        return S_OK;
    }

    HRESULT SkipQuoted()
    {
        const char chQuote = *m_p++;
        const char* const pClose = Find(std::string_view(&chQuote, 1));
        if (!pClose)
            return XML_E_TRUNCATED;
        m_p = pClose + 1;
        return S_OK;
    }

    // The document type is read only to find its end; nothing in it is used.
    HRESULT ParseDoctype()
    {
        m_p += 9; // "<!DOCTYPE"
        if (!SkipSpace())
            return m_p == m_pEnd ? XML_E_TRUNCATED : XML_E_SYNTAX;
        std::string_view svName;
        HRESULT hr = ReadName(svName);
        for (;;) {
            if (FAILED(hr))
                return hr;
            SkipSpace();
            if (m_p == m_pEnd)
                return XML_E_TRUNCATED;
            const char c = *m_p;
            if (c == '>') {
                ++m_p;
                return S_OK;
            }
            if (c == '[') {
                hr = SkipInternalSubset();
                if (FAILED(hr))
                    return hr;
                SkipSpace();
                if (m_p == m_pEnd)
                    return XML_E_TRUNCATED;
                if (*m_p != '>')
                    return XML_E_SYNTAX;
                ++m_p;
                return S_OK;
            }
            if (c == '"' || c == '\'')
                hr = SkipQuoted();
            else
                hr = ReadName(svName); // SYSTEM, PUBLIC
        }
    }

    HRESULT SkipInternalSubset()
    {
        ++m_p; // '['
        for (;;) {
            SkipSpace();
            if (m_p == m_pEnd)
                return XML_E_TRUNCATED;
            HRESULT hr = S_OK;
            const char c = *m_p;
            if (c == ']') {
                ++m_p;
                return S_OK;
            }
            if (c == '%') {
                ++m_p;
                std::string_view svName;
                hr = ReadName(svName);
                if (SUCCEEDED(hr))
                    hr = m_p == m_pEnd ? XML_E_TRUNCATED : *m_p++ != ';' ? XML_E_SYNTAX : S_OK;
            } else if (c != '<') {
                hr = XML_E_SYNTAX;
            } else if (Left() < 2) {
                hr = XML_E_TRUNCATED;
            } else if (m_p[1] == '?') {
                hr = ParsePi();
            } else if (m_p[1] != '!') {
                hr = XML_E_SYNTAX;
            } else if (const Match eComment = Starts("<!--"); eComment != Match::No) {
                hr = eComment == Match::Yes ? ParseComment() : XML_E_TRUNCATED;
            } else {
                hr = SkipMarkupDecl();
            }
            if (FAILED(hr))
                return hr;
        }
    }

    // <!ELEMENT ...>, <!ATTLIST ...>, <!ENTITY ...>, <!NOTATION ...>.
    HRESULT SkipMarkupDecl()
    {
        m_p += 2; // "<!"
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        if (!(*m_p >= 'A' && *m_p <= 'Z'))
            return XML_E_SYNTAX;
        for (;;) {
            if (m_p == m_pEnd)
                return XML_E_TRUNCATED;
            const char c = *m_p;
            if (c == '>') {
                ++m_p;
                return S_OK;
            }
            if (c == '<')
                return XML_E_SYNTAX;
            if (c == '"' || c == '\'') {
                const HRESULT hr = SkipQuoted();
                if (FAILED(hr))
                    return hr;
            } else {
                ++m_p;
            }
        }
    }

    const char* m_p;
    const char* const m_pEnd;
    CTree& m_tree;
    std::vector<OpenElement> m_vecOpen;
    CRawBuffer<char> m_bufPending;      // text of the open elements, innermost last
    CRawBuffer<uint32_t> m_bufChildren; // children of the open elements, innermost last
    // The innermost element's text when it is a single run of character
    // data up to its end tag, left in the input rather than copied.
    std::string_view m_svLeafText;
    bool m_bLeafText = false;
    std::vector<std::string_view> m_vecAttributes;
    std::unordered_set<std::string_view> m_setAttributes;
};

} // namespace

HRESULT ParseDocument(std::string_view svText, CTree& tree)
{
    return CParser(svText, tree).Run();
}

} // namespace zrxml
