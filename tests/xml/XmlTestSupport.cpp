#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <cwchar>

namespace xmltest {

const std::wstring kNull = L"<null BSTR>";

DocPtr NewDocument()
{
    return DocPtr(GetZRXmlInterface(XML_TYPE_LIBRARY_CORE));
}

namespace {

// A stale value in the out-parameter, so a call that forgets to clear it shows.
IZRXmlNode* const kStale = reinterpret_cast<IZRXmlNode*>(sizeof(void*));

NodePtr Checked(HRESULT hr, IZRXmlNode* pNode, HRESULT* phr)
{
    if (phr)
        *phr = hr;
    if (FAILED(hr)) {
        EXPECT_EQ(pNode, nullptr) << kvtest::HrText(hr);
        return nullptr;
    }
    EXPECT_NE(pNode, nullptr);
    return NodePtr(pNode);
}

} // namespace

NodePtr NodeAt(IZRXml* pDoc, const std::wstring& strPath, HRESULT* phr)
{
    IZRXmlNode* pNode = kStale;
    const HRESULT hr = pDoc->GetNode(strPath.c_str(), &pNode);
    return Checked(hr, pNode, phr);
}

NodePtr ChildNamed(IZRXmlNode* pParent, const wchar_t* pszName, HRESULT* phr)
{
    IZRXmlNode* pNode = kStale;
    const HRESULT hr = pParent->GetChild(pszName, &pNode);
    return Checked(hr, pNode, phr);
}

NodePtr ChildAt(IZRXmlNode* pParent, int iIndex, HRESULT* phr)
{
    IZRXmlNode* pNode = kStale;
    const HRESULT hr = pParent->GetChildAt(iIndex, &pNode);
    return Checked(hr, pNode, phr);
}

std::wstring Take(BSTR bstr)
{
    if (!bstr)
        return kNull;
    std::wstring str(bstr, SysStringLen(bstr));
    EXPECT_EQ(std::wcslen(bstr), str.size()) << "BSTR length and terminator disagree";
    SysFreeString(bstr);
    return str;
}

std::wstring TextAt(IZRXml* pDoc, const std::wstring& strPath)
{
    NodePtr pNode = NodeAt(pDoc, strPath);
    return pNode ? Text(pNode.get()) : kNull;
}

bool IsEmpty(IZRXml* pDoc)
{
    IZRXmlNode* pNode = kStale;
    const HRESULT hr = pDoc->GetNode(L"/Factory", &pNode);
    EXPECT_EQ(pNode, nullptr);
    if (SUCCEEDED(hr) && pNode && pNode != kStale)
        pNode->Release();
    return hr == XML_E_NOTLOADED;
}

std::string Utf16(const std::u32string& str, bool bBigEndian)
{
    std::string bytes;
    auto unit = [&](char32_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        bytes += bBigEndian ? hi : lo;
        bytes += bBigEndian ? lo : hi;
    };
    unit(0xFEFF);
    for (char32_t c : str) {
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return bytes;
}

std::wstring ExpectedName(int iEntry)
{
    wchar_t sz[32];
    std::swprintf(sz, 32, L"file%05d.dat", iEntry);
    return sz;
}

std::wstring ExpectedFullPath(int iEntry)
{
    return L"C:\\Source\\Set" + std::to_wstring(iEntry % 10) + L"\\" + ExpectedName(iEntry);
}

long long ExpectedSize(int iEntry)
{
    return 1021LL * iEntry + (iEntry % 3 == 0 ? 5000000000LL : 0);
}

std::string MediaDescription(int nFiles, bool bPretty)
{
    const char* const pszEnd = bPretty ? "\r\n" : "";
    auto line = [&](int nIndent, const std::string& strText) {
        return (bPretty ? std::string(2 * nIndent, ' ') : std::string()) + strText + pszEnd;
    };
    auto field = [&](const char* pszName, const std::string& strValue) {
        return line(2, std::string("<") + pszName + ">" + strValue + "</" + pszName + ">");
    };
    long long llTotal = 0;
    for (int i = 1; i <= nFiles; ++i)
        llTotal += ExpectedSize(i);
    std::string str = line(0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + line(0, "<Factory>") +
                      line(1, "<Media>") + line(2, "<Info>") +
                      line(3, "<Media_NumberFiles>" + std::to_string(nFiles) + "</Media_NumberFiles>") +
                      line(3, "<Media_Size>" + std::to_string(llTotal) + "</Media_Size>") +
                      line(2, "</Info>") + line(1, "</Media>");
    for (int i = 1; i <= nFiles; ++i) {
        const std::string strName = kvtest::Narrow(ExpectedName(i));
        const std::string strFolder = "Set" + std::to_string(i % 10);
        str += line(1, "<FILE>");
        str += field("FullPath", kvtest::Narrow(ExpectedFullPath(i)));
        str += field("Path", strFolder + "\\");
        str += field("TargetPath", "\\" + strFolder + "\\" + strName);
        str += field("Name", strName);
        str += field("Attribute", i % 7 == 0 ? "16" : "32");
        str += field("Exclusion", "0");
        str += field("WriteTime", "2026-12-08 03:08:26");
        str += field("FileSize", std::to_string(ExpectedSize(i)));
        str += line(1, "</FILE>");
    }
    return str + line(0, "</Factory>");
}

} // namespace xmltest
