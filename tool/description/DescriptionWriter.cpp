#include "description/DescriptionWriter.h"

#include "output/Text.h"
#include "output/UsageError.h"

namespace kvtool {

std::string XmlText(const std::wstring& strText)
{
    std::wstring strOut;
    for (size_t i = 0; i < strText.size(); ++i) {
        unsigned uCode = static_cast<unsigned>(strText[i]);
        if (sizeof(wchar_t) == 2)
            uCode &= 0xFFFF;
        switch (uCode) {
        case '&': strOut += L"&amp;"; continue;
        case '<': strOut += L"&lt;"; continue;
        case '>': strOut += L"&gt;"; continue;
        case '"': strOut += L"&quot;"; continue;
        case '\'': strOut += L"&apos;"; continue;
        case '\t': strOut += L"&#9;"; continue;
        case '\n': strOut += L"&#10;"; continue;
        case '\r': strOut += L"&#13;"; continue;
        default: break;
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

std::string Element(const char* pszIndent, const char* pszName, const std::string& strValue)
{
    return std::string(pszIndent) + "<" + pszName + ">" + strValue + "</" + pszName + ">\n";
}

} // namespace

std::string DescriptionXml(const CMediaDescription& desc)
{
    std::string strXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Factory>\n  <Media>\n    <Info>\n";
    strXml += Element("      ", "Media_NumberFiles", std::to_string(desc.ullFileCount));
    strXml += Element("      ", "Media_Size", std::to_string(desc.ullMediaSize));
    strXml += "    </Info>\n  </Media>\n";
    for (const CDescribedEntry& entry : desc.vecEntries) {
        strXml += "  <FILE>\n";
        strXml += Element("    ", "FullPath", XmlText(entry.strFullPath));
        strXml += Element("    ", "Path", XmlText(entry.strPath));
        strXml += Element("    ", "TargetPath", XmlText(entry.strTargetPath));
        strXml += Element("    ", "Name", XmlText(entry.strName));
        strXml += Element("    ", "Attribute", std::to_string(entry.dwAttribute));
        strXml += Element("    ", "Exclusion", "0");
        strXml += Element("    ", "FileSize", std::to_string(entry.ullFileSize));
        strXml += Element("    ", "WriteTime", XmlText(entry.strWriteTime));
        strXml += "  </FILE>\n";
    }
    strXml += "</Factory>\n";
    return strXml;
}

std::wstring DescriptionFileName(int iNumber) { return L"Media" + std::to_wstring(iNumber) + L".xml"; }

} // namespace kvtool
