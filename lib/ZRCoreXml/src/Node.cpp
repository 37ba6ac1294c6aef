#include "Node.h"

#include "Number.h"
#include "Utf8.h"
#include "XmlErrors.h"

#include <climits>
#include <cstdint>
#include <new>
#include <string>

namespace zrxml {

HRESULT CNode::Create(const std::shared_ptr<const CTree>& pTree, std::uint32_t nElement, IZRXmlNode** ppNode)
{
    *ppNode = new (std::nothrow) CNode(pTree, nElement);
    return *ppNode ? S_OK : E_OUTOFMEMORY;
}

BSTR CNode::GetName()
{
    const std::wstring& strName = m_pTree->WideName(m_pTree->NameOf(m_nElement));
    return SysAllocStringLen(strName.data(), static_cast<UINT>(strName.size()));
}

int CNode::GetIntValue()
{
    return static_cast<int>(ParseDecimal(m_pTree->TextOf(m_nElement), INT_MIN, INT_MAX));
}

__int64 CNode::GetInt64Value()
{
    return ParseDecimal(m_pTree->TextOf(m_nElement), INT64_MIN, INT64_MAX);
}

int CNode::GetChildCount()
{
    const std::uint32_t nCount = m_pTree->ChildCount(m_nElement);
    return nCount > INT_MAX ? INT_MAX : static_cast<int>(nCount);
}

HRESULT CNode::GetChildAt(int iIndex, IZRXmlNode** ppNode)
{
    if (!ppNode)
        return E_INVALIDARG;
    *ppNode = nullptr;
    if (iIndex < 0 || static_cast<std::uint32_t>(iIndex) >= m_pTree->ChildCount(m_nElement))
        return E_INVALIDARG;
    return Create(m_pTree, m_pTree->ChildAt(m_nElement, static_cast<std::uint32_t>(iIndex)), ppNode);
}

HRESULT CNode::GetChild(LPCWSTR pszName, IZRXmlNode** ppNode)
{
    if (!ppNode)
        return E_INVALIDARG;
    *ppNode = nullptr;
    if (!pszName)
        return E_INVALIDARG;
    try {
        std::string strName;
        std::uint32_t nName = 0;
        std::uint32_t nChild = 0;
        if (!WideToUtf8(pszName, strName) || !m_pTree->FindName(strName, nName) ||
            !m_pTree->FindChild(m_nElement, nName, 1, nChild))
            return XML_E_NOTFOUND;
        return Create(m_pTree, nChild, ppNode);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

BSTR CNode::GetText()
{
    // No character data is no text: a caller looking for a value goes on to
    // the next element instead of taking an empty one.
    const std::string_view svText = m_pTree->TextOf(m_nElement);
    return svText.empty() ? nullptr : Utf8ToBstr(svText);
}

ULONG CNode::AddRef()
{
    return ++m_nRefs;
}

ULONG CNode::Release()
{
    const ULONG nRefs = --m_nRefs;
    if (nRefs == 0)
        delete this;
    return nRefs;
}

} // namespace zrxml
