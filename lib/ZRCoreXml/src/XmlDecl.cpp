#include "XmlDecl.h"

#include "XmlErrors.h"

#include <algorithm>
#include <cstring>

namespace zrxml {

namespace {

bool IsSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

class CDeclReader {
  public:
    CDeclReader(const char* p, const char* pEnd) : m_p(p), m_pEnd(pEnd) {}

    HRESULT Read(XmlDecl& decl, const char*& pAfter)
    {
        m_p += 5; // "<?xml"
        std::string strValue;
        HRESULT hr = Pseudo("version", strValue, true);
        if (hr != S_OK)
            return FAILED(hr) ? hr : XML_E_SYNTAX;
        if (!IsVersion(strValue))
            return XML_E_SYNTAX;
        hr = Pseudo("encoding", strValue, false);
        if (FAILED(hr))
            return hr;
        if (hr == S_OK) {
            if (!IsEncName(strValue))
                return XML_E_SYNTAX;
            decl.strEncoding = strValue;
        }
        hr = Pseudo("standalone", strValue, false);
        if (FAILED(hr))
            return hr;
        if (hr == S_OK && strValue != "yes" && strValue != "no")
            return XML_E_SYNTAX;
        SkipSpace();
        if (m_pEnd - m_p < 2)
            return XML_E_TRUNCATED;
        if (m_p[0] != '?' || m_p[1] != '>')
            return XML_E_SYNTAX;
        pAfter = m_p + 2;
        return S_OK;
    }

  private:
    bool SkipSpace()
    {
        const char* const pStart = m_p;
        while (m_p < m_pEnd && IsSpaceByte(*m_p))
            ++m_p;
        return m_p != pStart;
    }

    // S name Eq quoted-value. S_FALSE when the next thing is not this name
    // (nothing consumed), so the optional parts can be tried in turn.
    HRESULT Pseudo(const char* pszName, std::string& strValue, bool bRequired)
    {
        const char* const pStart = m_p;
        const bool bSpace = SkipSpace();
        const size_t cchName = std::strlen(pszName);
        const size_t cbLeft = static_cast<size_t>(m_pEnd - m_p);
        if (!bSpace || std::memcmp(m_p, pszName, std::min(cbLeft, cchName)) != 0) {
            m_p = pStart;
            return bRequired ? XML_E_SYNTAX : S_FALSE;
        }
        if (cbLeft < cchName)
            return XML_E_TRUNCATED;
        m_p += cchName;
        SkipSpace();
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        if (*m_p++ != '=')
            return XML_E_SYNTAX;
        SkipSpace();
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        const char chQuote = *m_p++;
        if (chQuote != '"' && chQuote != '\'')
            return XML_E_SYNTAX;
        const char* const pValue = m_p;
        while (m_p < m_pEnd && *m_p != chQuote) {
            if (*m_p == '<' || *m_p == '>')
                return XML_E_SYNTAX;
            ++m_p;
        }
        if (m_p == m_pEnd)
            return XML_E_TRUNCATED;
        strValue.assign(pValue, m_p);
        ++m_p;
        return S_OK;
    }

    static bool IsVersion(const std::string& str)
    {
        if (str.size() < 3 || str[0] != '1' || str[1] != '.')
            return false;
        for (size_t i = 2; i < str.size(); ++i)
            if (!IsDigit(str[i]))
                return false;
        return true;
    }

    static bool IsEncName(const std::string& str)
    {
        if (str.empty() || !IsAlpha(str[0]))
            return false;
        for (char c : str)
            if (!IsAlpha(c) && !IsDigit(c) && c != '.' && c != '_' && c != '-')
                return false;
        return true;
    }

    const char* m_p;
    const char* const m_pEnd;
};

} // namespace

HRESULT ParseXmlDecl(const char* pBegin, const char* pEnd, XmlDecl& decl, const char*& pAfter)
{
    pAfter = pBegin;
    decl = XmlDecl{};
    const size_t cb = static_cast<size_t>(pEnd - pBegin);
    if (cb < 6 || std::memcmp(pBegin, "<?xml", 5) != 0 || !IsSpaceByte(pBegin[5]))
        return S_FALSE;
    return CDeclReader(pBegin, pEnd).Read(decl, pAfter);
}

} // namespace zrxml
