#include "description/DescriptionWriter.h"

#include "output/Text.h"
#include "output/UsageError.h"

#include <DescriptionRules.h>

namespace kvtool {

std::string XmlText(const std::wstring& strText)
{
    std::wstring strOut;
    for (size_t i = 0; i < strText.size(); ++i) {
        unsigned uCode = static_cast<unsigned>(strText[i]);
        if (sizeof(wchar_t) == 2)
            uCode &= 0xFFFF;
        switch (uCode) {
        case '&':
            strOut += L"&amp;";
            continue;
        case '<':
            strOut += L"&lt;";
            continue;
        case '>':
            strOut += L"&gt;";
            continue;
        case '"':
            strOut += L"&quot;";
            continue;
        case '\'':
            strOut += L"&apos;";
            continue;
        case '\t':
            strOut += L"&#9;";
            continue;
        case '\n':
            strOut += L"&#10;";
            continue;
        case '\r':
            strOut += L"&#13;";
            continue;
        default:
            break;
        }
        bool bBad = uCode < 0x20 || uCode == 0xFFFE || uCode == 0xFFFF || uCode > 0x10FFFF;
        if (uCode >= 0xD800 && uCode < 0xE000) {
            unsigned uNext = i + 1 < strText.size() ? static_cast<unsigned>(strText[i + 1]) & 0xFFFF : 0;
            if (sizeof(wchar_t) == 2 && uCode < 0xDC00 && uNext >= 0xDC00 && uNext < 0xE000) {
                strOut += strText[i];
                strOut += strText[++i];
                continue;
            }
            bBad = true;
        }
        if (bBad)
            throw CUsageError("'" + Utf8FromWide(strText) + "' holds a character that XML cannot carry");
        strOut += strText[i];
    }
    return Utf8FromWide(strOut);
}

namespace {

// Text that XML carries as it is: printable ASCII but for the five that
// have entities. Most paths are no more, and skip the wide copy.
bool IsPlainXmlText(const std::wstring& strText)
{
    for (wchar_t c : strText)
        if (c < 0x20 || c > 0x7E || c == L'&' || c == L'<' || c == L'>' || c == L'"' || c == L'\'')
            return false;
    return true;
}

// One element on a line of its own, appended: a document of many entries
// is built in one string.
void AppendElement(std::string& strXml, const char* pszIndent, const std::string& strName,
                   const std::string& strValue)
{
    strXml.append(pszIndent).append(1, '<').append(strName).append(1, '>').append(strValue);
    strXml.append("</").append(strName).append(">\n");
}

void AppendText(std::string& strXml, const char* pszIndent, const std::string& strName,
                const std::wstring& strText)
{
    if (!IsPlainXmlText(strText)) {
        AppendElement(strXml, pszIndent, strName, XmlText(strText));
        return;
    }
    strXml.append(pszIndent).append(1, '<').append(strName).append(1, '>');
    for (wchar_t c : strText)
        strXml += static_cast<char>(c);
    strXml.append("</").append(strName).append(">\n");
}

} // namespace

std::string DescriptionXml(const CMediaDescription& desc)
{
    const std::string strFileCount = Utf8FromWide(kvdesc::kFileCount),
                      strMediaSize = Utf8FromWide(kvdesc::kMediaSize),
                      strFullPath = Utf8FromWide(kvdesc::kFullPath), strPath = Utf8FromWide(kvdesc::kPath),
                      strTargetPath = Utf8FromWide(kvdesc::kTargetPath),
                      strName = Utf8FromWide(kvdesc::kName), strAttribute = Utf8FromWide(kvdesc::kAttribute),
                      strExclusion = Utf8FromWide(kvdesc::kExclusion),
                      strFileSize = Utf8FromWide(kvdesc::kFileSize),
                      strWriteTime = Utf8FromWide(kvdesc::kWriteTime);
    std::string strXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Factory>\n  <Media>\n    <Info>\n";
    AppendElement(strXml, "      ", strFileCount, std::to_string(desc.ullFileCount));
    AppendElement(strXml, "      ", strMediaSize, std::to_string(desc.ullMediaSize));
    strXml += "    </Info>\n  </Media>\n";
    for (const CDescribedEntry& entry : desc.vecEntries) {
        strXml += "  <FILE>\n";
        AppendText(strXml, "    ", strFullPath, entry.strFullPath);
        AppendText(strXml, "    ", strPath, entry.strPath);
        AppendText(strXml, "    ", strTargetPath, entry.strTargetPath);
        AppendText(strXml, "    ", strName, entry.strName);
        AppendElement(strXml, "    ", strAttribute, std::to_string(entry.dwAttribute));
        AppendElement(strXml, "    ", strExclusion, "0");
        AppendElement(strXml, "    ", strFileSize, std::to_string(entry.ullFileSize));
        AppendText(strXml, "    ", strWriteTime, entry.strWriteTime);
        strXml += "  </FILE>\n";
    }
    strXml += "</Factory>\n";
    return strXml;
}

} // namespace kvtool
