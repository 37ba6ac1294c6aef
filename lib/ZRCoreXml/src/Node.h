// IZRXmlNode: one element of a tree, which the node keeps alive.
#pragma once

#include "Tree.h"

#include <windows.h>

#include <oleauto.h> // BSTR, which ZRXml.h uses without including

#include <ZRXml.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace zrxml {

class CNode final : public IZRXmlNode {
  public:
    // A node with one reference in *ppNode; E_OUTOFMEMORY leaves it null.
    static HRESULT Create(const std::shared_ptr<const CTree>& pTree, std::uint32_t nElement,
                          IZRXmlNode** ppNode);

    BSTR GetName() override;
    int GetIntValue() override;
    __int64 GetInt64Value() override;
    int GetChildCount() override;
    HRESULT GetChildAt(int iIndex, IZRXmlNode** ppNode) override;
    HRESULT GetChild(LPCWSTR pszName, IZRXmlNode** ppNode) override;
    BSTR GetText() override;
    ULONG AddRef() override;
    ULONG Release() override;

  private:
    CNode(const std::shared_ptr<const CTree>& pTree, std::uint32_t nElement)
        : m_pTree(pTree), m_nElement(nElement)
    {
    }
    ~CNode() = default;

    std::atomic<ULONG> m_nRefs{1};
    const std::shared_ptr<const CTree> m_pTree;
    const std::uint32_t m_nElement;
};

} // namespace zrxml
