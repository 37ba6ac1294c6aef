// IZRXml: a document, which holds the tree of its last successful load.
#pragma once

#include "Tree.h"

#include <windows.h>

#include <oleauto.h> // BSTR, which ZRXml.h uses without including

#include <ZRXml.h>

#include <atomic>
#include <cstddef>
#include <memory>

namespace zrxml {

class CDocument final : public IZRXml {
  public:
    CDocument() = default;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    HRESULT LoadFile(LPCWSTR pszPath) override;
    HRESULT LoadMemory(const void* pData, std::size_t cbData) override;
    HRESULT GetNode(LPCWSTR pszPath, IZRXmlNode** ppNode) override;
    ULONG AddRef() override;
    ULONG Release() override;

  private:
    ~CDocument() = default;

    HRESULT Load(const unsigned char* pData, std::size_t cbData);

    std::atomic<ULONG> m_nRefs{1};
    // Null while empty. Nodes share it, so a load only drops the document's hold.
    std::shared_ptr<const CTree> m_pTree;
};

} // namespace zrxml
