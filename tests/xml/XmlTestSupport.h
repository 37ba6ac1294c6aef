// Helpers of the XML library's tests: owning pointers for documents and
// nodes, BSTRs to strings, documents built in memory.
#pragma once

#include <windows.h>

#include <oleauto.h> // before ZRXml.h, which uses BSTR

#include <ZRXml.h>

#include "../../lib/ZRCoreXml/src/XmlErrors.h"

#include <memory>
#include <string>

namespace xmltest {

using namespace zrxml; // the result codes

struct Releaser {
    template <class T> void operator()(T* p) const { p->Release(); }
};
using DocPtr = std::unique_ptr<IZRXml, Releaser>;
using NodePtr = std::unique_ptr<IZRXmlNode, Releaser>;

DocPtr NewDocument();
inline HRESULT Load(IZRXml* pDoc, const std::string& bytes)
{
    return pDoc->LoadMemory(bytes.data(), bytes.size());
}

// The node, or null when the call fails; a failed call must leave its
// out-parameter null, which these check.
NodePtr NodeAt(IZRXml* pDoc, const std::wstring& strPath, HRESULT* phr = nullptr);
NodePtr ChildNamed(IZRXmlNode* pNode, const wchar_t* pszName, HRESULT* phr = nullptr);
NodePtr ChildAt(IZRXmlNode* pNode, int iIndex, HRESULT* phr = nullptr);

// The text of a BSTR, which this frees; kNull for a null one.
extern const std::wstring kNull;
std::wstring Take(BSTR bstr);
inline std::wstring Text(IZRXmlNode* pNode)
{
    return Take(pNode->GetText());
}
inline std::wstring Name(IZRXmlNode* pNode)
{
    return Take(pNode->GetName());
}
// What GetText gives for a text: kNull for an empty one (no character data).
inline std::wstring AsText(const std::wstring& strText)
{
    return strText.empty() ? kNull : strText;
}

// The text at a path; kNull when there is no node.
std::wstring TextAt(IZRXml* pDoc, const std::wstring& strPath);

// True when the document holds nothing, as after a failed load.
bool IsEmpty(IZRXml* pDoc);

// Code points to bytes: UTF-16 with its byte order mark.
std::string Utf16(const std::u32string& str, bool bBigEndian);

// A media description of nFiles entries whose values follow from the entry
// number (see the Expected... helpers); pretty-printed with CR LF or on one line.
std::string MediaDescription(int nFiles, bool bPretty);
std::wstring ExpectedName(int iEntry);
std::wstring ExpectedFullPath(int iEntry);
long long ExpectedSize(int iEntry);

} // namespace xmltest
