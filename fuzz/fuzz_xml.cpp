// The XML reader on arbitrary bytes: load them, then walk whatever loaded
// the way the verifier does and beyond, checking what the interface
// promises. Nodes are used after their document is released and reloaded,
// which they must survive.
#include "FuzzCheck.h"

#include <ZRXml.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxVisits = 20000;
constexpr int kMaxPathChecks = 64;
constexpr int kMaxFileEntries = 10000;

// Holds one reference; released at the end of its scope.
class CNodeRef {
  public:
    CNodeRef() = default;
    CNodeRef(CNodeRef&& other) noexcept : m_pNode(other.m_pNode) { other.m_pNode = nullptr; }
    CNodeRef(const CNodeRef&) = delete;
    CNodeRef& operator=(const CNodeRef&) = delete;
    ~CNodeRef() { Reset(); }

    static CNodeRef Share(IZRXmlNode* pNode)
    {
        CNodeRef ref;
        pNode->AddRef();
        ref.m_pNode = pNode;
        return ref;
    }
    void Reset()
    {
        if (m_pNode)
            m_pNode->Release();
        m_pNode = nullptr;
    }
    // For an out-parameter; a failed call must leave nothing to release,
    // which callers may not rely on, so the pointer is dropped after one.
    IZRXmlNode** Out()
    {
        Reset();
        return &m_pNode;
    }
    void DropAfterFailure() { m_pNode = nullptr; }
    IZRXmlNode* operator->() const { return m_pNode; }
    IZRXmlNode* Get() const { return m_pNode; }

  private:
    IZRXmlNode* m_pNode = nullptr;
};

std::wstring NameOf(IZRXmlNode* pNode)
{
    std::wstring strName;
    FUZZ_CHECK(kvfuzz::TakeBstr(pNode->GetName(), strName));
    FUZZ_CHECK(!strName.empty());
    return strName;
}

// Null for an element without character data, never an empty text.
std::wstring TextOf(IZRXmlNode* pNode)
{
    std::wstring strText;
    if (kvfuzz::TakeBstr(pNode->GetText(), strText))
        FUZZ_CHECK(!strText.empty());
    return strText;
}

int ClampToInt(__int64 iValue)
{
    return iValue < INT_MIN ? INT_MIN : iValue > INT_MAX ? INT_MAX : static_cast<int>(iValue);
}

bool Fails(HRESULT hr, CNodeRef& ref)
{
    if (SUCCEEDED(hr))
        return false;
    ref.DropAfterFailure();
    return true;
}

// Every accessor of one node, and the children beyond its end.
void Inspect(IZRXmlNode* pNode)
{
    NameOf(pNode);
    TextOf(pNode);
    // Both conversions clamp the same decimal text, so they agree.
    FUZZ_CHECK(pNode->GetIntValue() == ClampToInt(pNode->GetInt64Value()));

    const int iCount = pNode->GetChildCount();
    FUZZ_CHECK(iCount >= 0);
    for (int iBad : {-1, iCount, INT_MAX, INT_MIN}) {
        CNodeRef child;
        FUZZ_CHECK(Fails(pNode->GetChildAt(iBad, child.Out()), child));
    }
    CNodeRef missing;
    FUZZ_CHECK(Fails(pNode->GetChild(L"", missing.Out()), missing));
    FUZZ_CHECK(Fails(pNode->GetChild(nullptr, missing.Out()), missing));
}

// Depth first over the whole tree below pRoot, with an explicit stack.
void Walk(IZRXmlNode* pRoot)
{
    struct Level {
        CNodeRef node;
        int iNext;
        int iCount;
    };
    std::vector<Level> stack;
    Inspect(pRoot);
    stack.push_back({CNodeRef::Share(pRoot), 0, pRoot->GetChildCount()});
    std::size_t nVisits = 1;
    while (!stack.empty() && nVisits < kMaxVisits) {
        Level& level = stack.back();
        if (level.iNext >= level.iCount) {
            stack.pop_back();
            continue;
        }
        const int iIndex = level.iNext++;
        CNodeRef child;
        FUZZ_CHECK(SUCCEEDED(level.node->GetChildAt(iIndex, child.Out())) && child.Get());
        Inspect(child.Get());
        ++nVisits;

        // The first child of that name is this one or an earlier one.
        const std::wstring strName = NameOf(child.Get());
        CNodeRef byName;
        FUZZ_CHECK(SUCCEEDED(level.node->GetChild(strName.c_str(), byName.Out())) && byName.Get());
        FUZZ_CHECK(NameOf(byName.Get()) == strName);
        if (iIndex == 0)
            FUZZ_CHECK(TextOf(byName.Get()) == TextOf(child.Get()));

        const int iCount = child->GetChildCount();
        stack.push_back({std::move(child), 0, iCount});
    }
}

// "/Root/Child[k]" is the k-th child of that name: the same name, text and
// number of children as GetChildAt gave.
void CheckPaths(IZRXml* pXml, IZRXmlNode* pRoot, const std::wstring& strRoot)
{
    std::map<std::wstring, int> mapSeen;
    const int iCount = pRoot->GetChildCount();
    for (int i = 0; i < iCount && i < kMaxPathChecks; ++i) {
        CNodeRef child;
        FUZZ_CHECK(SUCCEEDED(pRoot->GetChildAt(i, child.Out())));
        const std::wstring strName = NameOf(child.Get());
        const int iNth = ++mapSeen[strName];
        const std::wstring strPath = L"/" + strRoot + L"/" + strName + L"[" + std::to_wstring(iNth) + L"]";
        CNodeRef byPath;
        FUZZ_CHECK(SUCCEEDED(pXml->GetNode(strPath.c_str(), byPath.Out())) && byPath.Get());
        FUZZ_CHECK(NameOf(byPath.Get()) == strName);
        FUZZ_CHECK(TextOf(byPath.Get()) == TextOf(child.Get()));
        FUZZ_CHECK(byPath->GetChildCount() == child->GetChildCount());
        if (iNth == 1) {
            CNodeRef plain;
            const std::wstring strPlain = L"/" + strRoot + L"/" + strName;
            FUZZ_CHECK(SUCCEEDED(pXml->GetNode(strPlain.c_str(), plain.Out())));
            FUZZ_CHECK(TextOf(plain.Get()) == TextOf(child.Get()));
        }
    }
    for (const auto& [strName, iSeen] : mapSeen) {
        if (iSeen >= kMaxPathChecks)
            continue;
        CNodeRef beyond;
        const std::wstring strPath =
            L"/" + strRoot + L"/" + strName + L"[" + std::to_wstring(iSeen + 1) + L"]";
        if (iCount <= kMaxPathChecks)
            FUZZ_CHECK(Fails(pXml->GetNode(strPath.c_str(), beyond.Out()), beyond));
        const std::wstring strZero = L"/" + strRoot + L"/" + strName + L"[0]";
        FUZZ_CHECK(Fails(pXml->GetNode(strZero.c_str(), beyond.Out()), beyond));
    }
}

// The names that follow a "<" in the input, as candidates for the root's
// name (the interface has no call that names the root). UTF-16 input is
// narrowed by dropping its zero bytes, which is enough for ASCII names.
std::vector<std::wstring> RootCandidates(const std::uint8_t* pData, std::size_t cbData)
{
    std::string strText;
    const bool bUtf16 =
        cbData >= 2 && ((pData[0] == 0xFF && pData[1] == 0xFE) || (pData[0] == 0xFE && pData[1] == 0xFF));
    for (std::size_t i = 0; i < cbData; ++i) {
        if (!(bUtf16 && pData[i] == 0))
            strText += static_cast<char>(pData[i]);
    }
    std::vector<std::wstring> vecNames{L"Factory"};
    auto IsNameChar = [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == ':' || c == '-' || c == '.';
    };
    for (std::size_t i = 0; i + 1 < strText.size() && vecNames.size() < 8; ++i) {
        if (strText[i] != '<')
            continue;
        std::size_t j = i + 1;
        while (j < strText.size() && IsNameChar(static_cast<unsigned char>(strText[j])))
            ++j;
        if (j > i + 1)
            vecNames.emplace_back(strText.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                  strText.begin() + static_cast<std::ptrdiff_t>(j));
    }
    return vecNames;
}

// The verifier's own queries.
void WalkLikeTheVerifier(IZRXml* pXml)
{
    CNodeRef info;
    if (SUCCEEDED(pXml->GetNode(L"/Factory/Media/Info", info.Out()))) {
        FUZZ_CHECK(info.Get());
        for (const wchar_t* pszChild : {L"Media_NumberFiles", L"Media_Size"}) {
            CNodeRef value;
            if (SUCCEEDED(info->GetChild(pszChild, value.Out()))) {
                static_cast<void>(static_cast<DWORD>(value->GetIntValue()));
                static_cast<void>(value->GetInt64Value());
            } else {
                value.DropAfterFailure();
            }
        }
    } else {
        info.DropAfterFailure();
    }
    for (int n = 1; n <= kMaxFileEntries; ++n) {
        const std::wstring strPath = L"/Factory/FILE[" + std::to_wstring(n) + L"]";
        CNodeRef entry;
        if (Fails(pXml->GetNode(strPath.c_str(), entry.Out()), entry))
            break;
        FUZZ_CHECK(entry.Get());
        const int iCount = entry->GetChildCount();
        for (int i = 0; i < iCount; ++i) {
            CNodeRef field;
            FUZZ_CHECK(SUCCEEDED(entry->GetChildAt(i, field.Out())));
            Inspect(field.Get());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    IZRXml* pXml = GetZRXmlInterface(XML_TYPE_LIBRARY_CORE);
    FUZZ_CHECK(pXml);
    FUZZ_CHECK(GetZRXmlInterface(XML_TYPE_LIBRARY_NONE) == nullptr);

    const HRESULT hrLoad = pXml->LoadMemory(pData, cbData);
    CNodeRef root;
    std::wstring strRoot;
    if (FAILED(hrLoad)) {
        // A failed load leaves the document empty.
        FUZZ_CHECK(Fails(pXml->GetNode(L"/Factory", root.Out()), root));
        pXml->Release();
        return 0;
    }
    for (const std::wstring& strName : RootCandidates(pData, cbData)) {
        if (SUCCEEDED(pXml->GetNode((L"/" + strName).c_str(), root.Out()))) {
            FUZZ_CHECK(root.Get());
            FUZZ_CHECK(NameOf(root.Get()) == strName);
            strRoot = strName;
            break;
        }
        root.DropAfterFailure();
    }

    WalkLikeTheVerifier(pXml);
    if (root.Get())
        CheckPaths(pXml, root.Get(), strRoot);

    // The same bytes load the same way again.
    FUZZ_CHECK(pXml->LoadMemory(pData, cbData) == hrLoad);
    // A node outlives a reload with something else and its document.
    FUZZ_CHECK(SUCCEEDED(pXml->LoadMemory("<a/>", 4)));
    pXml->Release();
    if (root.Get())
        Walk(root.Get());
    return 0;
}
