// The maker's XML document and node interfaces, as the verifier uses them.
#pragma once

#include <windows.h>

// BSTR: windows.h leaves it out under WIN32_LEAN_AND_MEAN.
#include <oleauto.h>

#include <cstddef>

#include "ZRXmlExport.h"

// Values of the argument of GetZRXmlInterface.
enum XML_TYPE_LIBRARY { XML_TYPE_LIBRARY_NONE = 0, XML_TYPE_LIBRARY_CORE = 2 };

// The result of GetNode and GetChild when there is no such node. It is the
// only one that means "none": no document, a malformed path or no memory
// fail with other codes, so a caller walking entries until one is missing
// can tell the end from a failure.
#define ZRXML_E_NOTFOUND ((HRESULT)0x80040211L)

// One element of a loaded document. Reference-counted: every node handed out
// belongs to the caller, who releases it once; it stays valid until then,
// even when its document is loaded anew or released.
class IZRXmlNode {
  public:
    // Element name; the caller frees it with SysFreeString. Null on failure.
    virtual BSTR GetName() = 0;
    // The text as a 32-bit integer (decimal, optional sign; 0 when not a number).
    virtual int GetIntValue() = 0;
    // The text as a signed 64-bit integer (same rules).
    virtual __int64 GetInt64Value() = 0;
    // Number of child elements.
    virtual int GetChildCount() = 0;
    // The child element at a 0-based index.
    virtual HRESULT GetChildAt(int iIndex, IZRXmlNode** ppNode) = 0;
    // The first child element of that name (exact match); ZRXML_E_NOTFOUND
    // when there is none.
    virtual HRESULT GetChild(LPCWSTR pszName, IZRXmlNode** ppNode) = 0;
    // The element's text: its character data and CDATA, in order. Null when
    // it has none (<Name/>, <Name></Name>) and on failure, never an empty
    // text; white space alone is text. The caller frees it with
    // SysFreeString.
    virtual BSTR GetText() = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IZRXmlNode() = default;
};

// A document. Reference-counted like the nodes.
class IZRXml {
  public:
    // Loads and parses a file (a Windows path), replacing what was loaded.
    // On failure the document is empty and the result negative.
    virtual HRESULT LoadFile(LPCWSTR pszPath) = 0;
    // The same from memory (the bytes of a file).
    virtual HRESULT LoadMemory(const void* pData, std::size_t cbData) = 0;
    // The single element at an absolute path of element names, each with an
    // optional 1-based [n]: "/Factory/Media/Info", "/Factory/FILE[12]".
    // ZRXML_E_NOTFOUND when the document holds no such element.
    virtual HRESULT GetNode(LPCWSTR pszPath, IZRXmlNode** ppNode) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IZRXml() = default;
};

// A new document with one reference, or null for an unknown library type.
extern "C" ZRXML_API IZRXml* GetZRXmlInterface(int iType);
