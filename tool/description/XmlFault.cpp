#include "description/XmlFault.h"

#include <cctype>
#include <string>
#include <vector>

namespace kvtool {

namespace {

class CScanner {
  public:
    explicit CScanner(const std::string& str) : m_str(str) {}

    std::string Run()
    {
        while (m_i < m_str.size()) {
            if (m_str[m_i] != '<') {
                Step();
                continue;
            }
            const size_t iLine = m_iLine, iColumn = m_iColumn;
            std::string strFault = Markup();
            if (!strFault.empty())
                return At(iLine, iColumn) + strFault;
        }
        if (!m_vecOpen.empty())
            return At(m_iLine, m_iColumn) + "the document ends inside <" + m_vecOpen.back() + ">";
        if (!m_bRoot)
            return At(m_iLine, m_iColumn) + "no element at all";
        return std::string();
    }

  private:
    static std::string At(size_t iLine, size_t iColumn)
    {
        return "line " + std::to_string(iLine) + ", column " + std::to_string(iColumn) + ": ";
    }
    void Step()
    {
        if (m_str[m_i] == '\n') {
            ++m_iLine;
            m_iColumn = 1;
        } else if ((static_cast<unsigned char>(m_str[m_i]) & 0xC0) != 0x80) {
            ++m_iColumn; // a column per character, not per UTF-8 byte
        }
        ++m_i;
    }
    bool Skip(const char* pszEnd)
    {
        const size_t iEnd = m_str.find(pszEnd, m_i);
        if (iEnd == std::string::npos)
            return false;
        while (m_i < iEnd + std::char_traits<char>::length(pszEnd))
            Step();
        return true;
    }
    bool StartsWith(const char* psz) const
    {
        return m_str.compare(m_i, std::char_traits<char>::length(psz), psz) == 0;
    }
    static bool IsNameChar(char c)
    {
        return c != '>' && c != '/' && c != '=' && !std::isspace(static_cast<unsigned char>(c));
    }

    // One piece of markup from its "<"; the fault, or empty.
    std::string Markup()
    {
        if (StartsWith("<!--"))
            return Skip("-->") ? std::string() : "a comment that never ends";
        if (StartsWith("<![CDATA["))
            return Skip("]]>") ? std::string() : "a CDATA section that never ends";
        if (StartsWith("<?"))
            return Skip("?>") ? std::string() : "a processing instruction that never ends";
        if (StartsWith("<!"))
            return Skip(">") ? std::string() : "a declaration that never ends";
        Step();
        const bool bClose = m_i < m_str.size() && m_str[m_i] == '/';
        if (bClose)
            Step();
        std::string strName;
        while (m_i < m_str.size() && IsNameChar(m_str[m_i])) {
            strName += m_str[m_i];
            Step();
        }
        if (strName.empty())
            return "a tag without a name";
        char cQuote = 0;
        bool bEmpty = false;
        for (;; Step()) {
            if (m_i >= m_str.size())
                return "the tag <" + strName + " never ends";
            const char c = m_str[m_i];
            if (cQuote) {
                if (c == cQuote)
                    cQuote = 0;
            } else if (c == '"' || c == '\'') {
                cQuote = c;
            } else if (c == '>') {
                bEmpty = m_i > 0 && m_str[m_i - 1] == '/';
                Step();
                break;
            }
        }
        if (bClose) {
            if (m_vecOpen.empty())
                return "</" + strName + "> closes nothing";
            if (m_vecOpen.back() != strName)
                return "</" + strName + "> closes <" + m_vecOpen.back() + ">";
            m_vecOpen.pop_back();
            return std::string();
        }
        if (m_vecOpen.empty() && m_bRoot)
            return "a second root element <" + strName + ">";
        m_bRoot = true;
        if (!bEmpty)
            m_vecOpen.push_back(strName);
        return std::string();
    }

    const std::string& m_str;
    size_t m_i = 0;
    size_t m_iLine = 1;
    size_t m_iColumn = 1;
    std::vector<std::string> m_vecOpen;
    bool m_bRoot = false;
};

} // namespace

std::string FindXmlFault(const std::string& strBytes)
{
    return CScanner(strBytes).Run();
}

} // namespace kvtool
