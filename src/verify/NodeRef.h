// Ownership of what the XML library hands out: a node is released once, a
// BSTR freed right after it is copied, on every path.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "ZRString.h"
#include "ZRXml.h"

namespace korvane {

class NodeRef {
  public:
    NodeRef() = default;
    ~NodeRef() { Reset(); }
    NodeRef(const NodeRef&) = delete;
    NodeRef& operator=(const NodeRef&) = delete;

    // For the out-parameter of a query; whatever was held is released first.
    IZRXmlNode** Out()
    {
        Reset();
        return &m_pNode;
    }
    IZRXmlNode* Get() const { return m_pNode; }
    IZRXmlNode* operator->() const { return m_pNode; }
    explicit operator bool() const { return m_pNode != nullptr; }
    void Reset()
    {
        if (m_pNode)
            m_pNode->Release();
        m_pNode = nullptr;
    }

  private:
    IZRXmlNode* m_pNode = nullptr;
};

// Copies a BSTR into strOut and frees it. FALSE (strOut untouched) for null.
inline BOOL TakeBstr(BSTR bstr, CZRString& strOut)
{
    if (!bstr)
        return FALSE;
    strOut = static_cast<const wchar_t*>(bstr);
    SysFreeString(bstr);
    return TRUE;
}

} // namespace korvane
