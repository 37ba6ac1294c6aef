// Hand-written doubles of the XML interfaces that count what they hand out,
// so a test can prove every node is released exactly once.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "ZRXml.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvtest {

struct FakeCounters {
    int iNodesOut = 0;      // references handed out by queries
    int iNodesReleased = 0; // Release calls received
    int iOverReleased = 0;  // Release calls on a node with no reference out
    int iBstrOut = 0;       // BSTRs handed out
};

class FakeNode final : public IZRXmlNode {
  public:
    FakeNode(FakeCounters& counters, std::wstring strName, std::optional<std::wstring> text = std::wstring())
        : m_counters(counters), m_strName(std::move(strName)), m_text(std::move(text))
    {
    }
    FakeNode& Add(std::wstring strName, std::optional<std::wstring> text)
    {
        m_children.push_back(std::make_unique<FakeNode>(m_counters, std::move(strName), std::move(text)));
        return *m_children.back();
    }

    int iFailChildAt = -1; // GetChildAt fails at this index
    bool bFailName = false;
    int iIntValue = 0;
    long long iInt64Value = 0;
    int iRefs = 0; // references out

    BSTR GetName() override { return bFailName ? nullptr : Out(m_strName); }
    int GetIntValue() override { return iIntValue; }
    __int64 GetInt64Value() override { return iInt64Value; }
    int GetChildCount() override { return static_cast<int>(m_children.size()); }
    HRESULT GetChildAt(int iIndex, IZRXmlNode** ppNode) override
    {
        *ppNode = nullptr;
        if (iIndex == iFailChildAt || iIndex < 0 || iIndex >= GetChildCount())
            return E_FAIL;
        *ppNode = m_children[static_cast<size_t>(iIndex)]->HandOut();
        return S_OK;
    }
    HRESULT GetChild(LPCWSTR pszName, IZRXmlNode** ppNode) override
    {
        *ppNode = nullptr;
        for (auto& c : m_children)
            if (c->m_strName == pszName) {
                *ppNode = c->HandOut();
                return S_OK;
            }
        return ZRXML_E_NOTFOUND;
    }
    BSTR GetText() override { return m_text ? Out(*m_text) : nullptr; }
    ULONG AddRef() override { return static_cast<ULONG>(++iRefs); }
    ULONG Release() override
    {
        ++m_counters.iNodesReleased;
        if (iRefs <= 0) {
            ++m_counters.iOverReleased;
            return 0;
        }
        return static_cast<ULONG>(--iRefs);
    }

    IZRXmlNode* HandOut()
    {
        ++m_counters.iNodesOut;
        ++iRefs;
        return this;
    }
    FakeNode& Child(size_t i) { return *m_children[i]; }

  private:
    BSTR Out(const std::wstring& s)
    {
        ++m_counters.iBstrOut;
        return SysAllocString(s.c_str());
    }
    FakeCounters& m_counters;
    std::wstring m_strName;
    std::optional<std::wstring> m_text;
    std::vector<std::unique_ptr<FakeNode>> m_children;
};

// A document whose Info node and loading can be scripted.
class FakeXml final : public IZRXml {
  public:
    explicit FakeXml(FakeCounters& counters) : root(counters, L"Factory") {}

    HRESULT hrLoad = S_OK;
    int iLoads = 0;
    std::vector<std::wstring> loadedPaths;
    FakeNode* pInfo = nullptr;    // answered for "/Factory/Media/Info"
    std::vector<FakeNode*> files; // answered for "/Factory/FILE[n]"
    std::vector<std::wstring> queries;
    std::map<std::wstring, HRESULT> failedQueries; // paths whose query fails with that code
    FakeNode root;
    int iRefs = 1;

    HRESULT LoadFile(LPCWSTR pszPath) override
    {
        ++iLoads;
        loadedPaths.push_back(pszPath);
        return hrLoad;
    }
    HRESULT LoadMemory(const void*, std::size_t) override { return E_NOTIMPL; }
    HRESULT GetNode(LPCWSTR pszPath, IZRXmlNode** ppNode) override
    {
        *ppNode = nullptr;
        queries.push_back(pszPath);
        std::wstring path = pszPath;
        const auto itFailed = failedQueries.find(path);
        if (itFailed != failedQueries.end())
            return itFailed->second;
        if (path == L"/Factory/Media/Info" && pInfo) {
            *ppNode = pInfo->HandOut();
            return S_OK;
        }
        const std::wstring prefix = L"/Factory/FILE[";
        if (path.compare(0, prefix.size(), prefix) == 0) {
            size_t n = std::stoul(path.substr(prefix.size()));
            if (n >= 1 && n <= files.size()) {
                *ppNode = files[n - 1]->HandOut();
                return S_OK;
            }
        }
        return ZRXML_E_NOTFOUND;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++iRefs); }
    ULONG Release() override { return static_cast<ULONG>(--iRefs); }
};

} // namespace kvtest
