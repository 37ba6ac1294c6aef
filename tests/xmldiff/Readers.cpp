#include "Readers.h"

#include <TestSupport.h>
#include <ZRXml.h>
#include <oleauto.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace xmldiff {

namespace {

// libxml2 keeps a namespace prefix apart; the document spells the whole name.
std::string QualifiedName(const xmlNode* pNode)
{
    std::string strName = reinterpret_cast<const char*>(pNode->name);
    if (pNode->ns && pNode->ns->prefix)
        strName = reinterpret_cast<const char*>(pNode->ns->prefix) + (":" + strName);
    return strName;
}

void FromLibxml2(const xmlNode* pNode, Element& element)
{
    element.strName = QualifiedName(pNode);
    for (const xmlNode* pChild = pNode->children; pChild; pChild = pChild->next) {
        if (pChild->type == XML_ELEMENT_NODE) {
            element.vecChildren.emplace_back();
            FromLibxml2(pChild, element.vecChildren.back());
        } else if ((pChild->type == XML_TEXT_NODE || pChild->type == XML_CDATA_SECTION_NODE) &&
                   pChild->content) {
            element.strText += reinterpret_cast<const char*>(pChild->content);
        }
    }
}

std::string TakeText(BSTR bstr)
{
    if (!bstr)
        return "<null>";
    std::wstring str(bstr, SysStringLen(bstr));
    SysFreeString(bstr);
    return kvtest::Narrow(str);
}

bool FromOurs(IZRXmlNode* pNode, Element& element)
{
    element.strName = TakeText(pNode->GetName());
    // No character data is no text (null); libxml2 gives "" for it.
    const BSTR bstrText = pNode->GetText();
    element.strText = bstrText ? TakeText(bstrText) : std::string();
    const int iCount = pNode->GetChildCount();
    for (int i = 0; i < iCount; ++i) {
        IZRXmlNode* pChild = nullptr;
        if (FAILED(pNode->GetChildAt(i, &pChild)))
            return false;
        element.vecChildren.emplace_back();
        const bool bOk = FromOurs(pChild, element.vecChildren.back());
        pChild->Release();
        if (!bOk)
            return false;
    }
    return true;
}

std::string Differs(const Element& theirs, const Element& ours, const std::string& strPath)
{
    const std::string strHere = strPath + "/" + theirs.strName;
    if (theirs.strName != ours.strName)
        return strPath + ": element name \"" + theirs.strName + "\" read as \"" + ours.strName + "\"";
    if (theirs.strText != ours.strText)
        return strHere + ": text \"" + Printable(theirs.strText) + "\" read as \"" + Printable(ours.strText) +
               "\"";
    if (theirs.vecChildren.size() != ours.vecChildren.size())
        return strHere + ": " + std::to_string(theirs.vecChildren.size()) + " child elements read as " +
               std::to_string(ours.vecChildren.size());
    for (std::size_t i = 0; i < theirs.vecChildren.size(); ++i) {
        std::string strDiff = Differs(theirs.vecChildren[i], ours.vecChildren[i], strHere);
        if (!strDiff.empty())
            return strDiff;
    }
    return "";
}

} // namespace

namespace {

// The encoding layer reports through the generic handler, whatever the options.
void Silent(void*, const char*, ...) {}

// The parser's errors, to tell whether the first one lay in the document
// type declaration (the parser keeps the reading in its _private field).
void OnError(void* pUser, xmlErrorPtr pError)
{
    const auto* pContext = static_cast<const xmlParserCtxt*>(pUser);
    auto* pReading = pContext ? static_cast<Reading*>(pContext->_private) : nullptr;
    if (!pReading || !pError || !pReading->strError.empty() || pError->level < XML_ERR_ERROR)
        return;
    pReading->strError = "libxml2 error " + std::to_string(pError->code) + " line " +
                         std::to_string(pError->line) + ": " + (pError->message ? pError->message : "");
    while (!pReading->strError.empty() && pReading->strError.back() == '\n')
        pReading->strError.pop_back();
    pReading->bErrorInSubset = pContext->inSubset != 0;
}

} // namespace

Reading ReadWithLibxml2(const std::string& bytes)
{
    xmlSetGenericErrorFunc(nullptr, Silent);
    Reading reading;
    xmlParserCtxtPtr pContext = xmlNewParserCtxt();
    if (!pContext)
        return reading;
    pContext->_private = &reading;
    pContext->sax->serror = OnError;
    // Entities substituted, nothing fetched, no warnings, no depth limit.
    const int iOptions = XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_HUGE;
    xmlDocPtr pDoc = xmlCtxtReadMemory(pContext, bytes.data(), static_cast<int>(bytes.size()), "doc.xml",
                                       nullptr, iOptions);
    reading.bWellFormed = pDoc && pContext->wellFormed;
    if (reading.bWellFormed) {
        reading.strError.clear(); // a namespace error, which XML 1.0 does not know
        reading.bErrorInSubset = false;
    }
    if (reading.bWellFormed) {
        const xmlNode* pRoot = xmlDocGetRootElement(pDoc);
        if (pRoot)
            FromLibxml2(pRoot, reading.root);
        else
            reading.bWellFormed = false;
    }
    if (pDoc)
        xmlFreeDoc(pDoc);
    xmlFreeParserCtxt(pContext);
    return reading;
}

Reading ReadWithOurs(const std::string& bytes, const std::string& strRootName)
{
    Reading reading;
    IZRXml* pXml = GetZRXmlInterface(XML_TYPE_LIBRARY_CORE);
    if (!pXml)
        return reading;
    const HRESULT hr = pXml->LoadMemory(bytes.data(), bytes.size());
    reading.bWellFormed = SUCCEEDED(hr);
    if (!reading.bWellFormed)
        reading.strError = "ours " + kvtest::HrText(hr);
    if (reading.bWellFormed && !strRootName.empty()) {
        IZRXmlNode* pRoot = nullptr;
        const std::wstring strPath = L"/" + kvtest::Widen(strRootName);
        if (SUCCEEDED(pXml->GetNode(strPath.c_str(), &pRoot))) {
            if (!FromOurs(pRoot, reading.root))
                reading.root.strName += " (GetChildAt failed)";
            pRoot->Release();
        } else {
            reading.root.strName = "(no root at " + kvtest::Narrow(strPath) + ")";
        }
    }
    pXml->Release();
    return reading;
}

std::string Difference(const Reading& theirs, const Reading& ours)
{
    if (theirs.bWellFormed != ours.bWellFormed)
        return theirs.bWellFormed ? "libxml2 reads it, ours rejects it (" + ours.strError + ")"
                                  : "libxml2 rejects it (" + theirs.strError + "), ours reads it";
    if (!theirs.bWellFormed)
        return "";
    return Differs(theirs.root, ours.root, "");
}

std::string Printable(const std::string& bytes)
{
    std::string strOut;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\\' || c == '"') {
            strOut += '\\';
            strOut += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            strOut += static_cast<char>(c);
        } else {
            char szHex[8];
            std::snprintf(szHex, sizeof szHex, "\\x%02X", c);
            strOut += szHex;
            // A hex escape would swallow a hex digit that follows.
            if (i + 1 < bytes.size() && std::isxdigit(static_cast<unsigned char>(bytes[i + 1])))
                strOut += "\"\"";
        }
    }
    return strOut;
}

} // namespace xmldiff
