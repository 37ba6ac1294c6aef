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

std::string Element(const char* pszIndent, const wchar_t* pszName, const std::string& strValue)
{
    const std::string strName = Utf8FromWide(pszName);
    return std::string(pszIndent) + "<" + strName + ">" + strValue + "</" + strName + ">\n";
}

} // namespace

std::string DescriptionXml(const CMediaDescription& desc)
{
    std::string strXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Factory>\n  <Media>\n    <Info>\n";
    strXml += Element("      ", kvdesc::kFileCount, std::to_string(desc.ullFileCount));
    strXml += Element("      ", kvdesc::kMediaSize, std::to_string(desc.ullMediaSize));
    strXml += "    </Info>\n  </Media>\n";
    for (const CDescribedEntry& entry : desc.vecEntries) {
        strXml += "  <FILE>\n";
        strXml += Element("    ", kvdesc::kFullPath, XmlText(entry.strFullPath));
        strXml += Element("    ", kvdesc::kPath, XmlText(entry.strPath));
        strXml += Element("    ", kvdesc::kTargetPath, XmlText(entry.strTargetPath));
        strXml += Element("    ", kvdesc::kName, XmlText(entry.strName));
        strXml += Element("    ", kvdesc::kAttribute, std::to_string(entry.dwAttribute));
        strXml += Element("    ", kvdesc::kExclusion, "0");
        strXml += Element("    ", kvdesc::kFileSize, std::to_string(entry.ullFileSize));
        strXml += Element("    ", kvdesc::kWriteTime, XmlText(entry.strWriteTime));
        strXml += "  </FILE>\n";
    }
    strXml += "</Factory>\n";
    return strXml;
}

} // namespace kvtool
