#include "Document.h"

#include "Decoder.h"
#include "FileReader.h"
#include "Node.h"
#include "NodePath.h"
#include "Parser.h"
#include "TreeCache.h"
#include "XmlErrors.h"

#include <exception>
#include <new>

namespace zrxml {

HRESULT CDocument::LoadFile(LPCWSTR pszPath)
{
    if (!pszPath) {
        m_pTree.reset();
        return E_INVALIDARG;
    }
    try {
        CRawBuffer<unsigned char> bytes;
        const HRESULT hr = ReadWholeFile(pszPath, bytes);
        if (FAILED(hr)) {
            m_pTree.reset();
            return hr;
        }
        return Load(bytes.Data(), bytes.Size());
    } catch (const std::bad_alloc&) {
        m_pTree.reset();
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        m_pTree.reset();
        return E_FAIL;
    }
}

HRESULT CDocument::LoadMemory(const void* pData, std::size_t cbData)
{
    if (!pData && cbData != 0) {
        m_pTree.reset();
        return E_INVALIDARG;
    }
    try {
        return Load(static_cast<const unsigned char*>(pData), cbData);
    } catch (const std::bad_alloc&) {
        m_pTree.reset();
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        m_pTree.reset();
        return E_FAIL;
    }
}

HRESULT CDocument::Load(const unsigned char* pData, std::size_t cbData)
{
    // The same bytes parse to the same tree, and trees never change. The
    // look-up comes before the document lets its tree go: a caller that
    // loads one file again and again, holding nothing else, keeps it alive
    // that way, and the description is parsed once per run, not per load.
    const CContentHash hash = HashContent(pData, cbData);
    if (std::shared_ptr<const CTree> pParsed = FindParsedTree(hash, cbData)) {
        m_pTree = std::move(pParsed);
        return S_OK;
    }
    // Emptied before parsing: a failed load leaves nothing, and the old tree
    // is not kept in memory beside the new one.
    m_pTree.reset();
    CountParse();
    CDecodedText text;
    HRESULT hr = DecodeDocument(pData, cbData, text);
    if (FAILED(hr))
        return hr;
    auto pTree = std::make_shared<CTree>();
    hr = ParseDocument(text.View(), *pTree);
    if (FAILED(hr))
        return hr;
    m_pTree = std::move(pTree);
    RememberParsedTree(hash, cbData, m_pTree);
    return S_OK;
}

HRESULT CDocument::GetNode(LPCWSTR pszPath, IZRXmlNode** ppNode)
{
    if (!ppNode)
        return E_INVALIDARG;
    *ppNode = nullptr;
    if (!pszPath)
        return E_INVALIDARG;
    if (!m_pTree)
        return XML_E_NOTLOADED;
    try {
        std::uint32_t nElement = 0;
        const HRESULT hr = ResolveNodePath(*m_pTree, pszPath, nElement);
        if (FAILED(hr))
            return hr;
        return CNode::Create(m_pTree, nElement, ppNode);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

ULONG CDocument::AddRef()
{
    return ++m_nRefs;
}

ULONG CDocument::Release()
{
    const ULONG nRefs = --m_nRefs;
    if (nRefs == 0)
        delete this;
    return nRefs;
}

} // namespace zrxml

extern "C" ZRXML_API IZRXml* GetZRXmlInterface(int iType)
{
    if (iType != XML_TYPE_LIBRARY_CORE)
        return nullptr;
    return new (std::nothrow) zrxml::CDocument();
}
