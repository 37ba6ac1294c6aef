// A parsed document: a flat, immutable table of elements with their names
// and text, shared by the document and every node handed out, so that a
// node outlives a reload or the release of its document. Flat tables also
// mean that no depth of nesting can exhaust the stack, neither when the
// tree is built nor when it is destroyed.
#pragma once

#include "RawBuffer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zrxml {

class CTree {
  public:
    CTree() = default;
    CTree(const CTree&) = delete;
    CTree& operator=(const CTree&) = delete;

    // Building, in document order; the first element added is the root.
    // AddElement and CloseElement fail beyond the 32-bit counts of the
    // tables. Reserve sizes the tables for a document of cbText decoded bytes.
    void Reserve(size_t cbText);
    uint32_t InternName(std::string_view svName);
    // The name InternName expects next (kNone when it has no guess); a
    // caller that finds it at its position takes it with TakeGuess instead
    // of interning it.
    uint32_t GuessedName() const { return m_nLastName == kNone ? kNone : m_vecNameRefs[m_nLastName].nNext; }
    void TakeGuess(uint32_t nName) { m_nLastName = nName; }
    // The bytes of a name, while building.
    std::string_view NameBytes(uint32_t nName) const
    {
        return std::string_view(m_vecNameRefs[nName].pch, m_vecNameRefs[nName].cch);
    }
    // Whether the bytes from p on (to pEnd) begin with the name, while building.
    inline bool IsNameAt(uint32_t nName, const char* p, const char* pEnd) const;
    inline bool AddElement(uint32_t nName, uint32_t& nElement);
    // The element's children (in document order) and text, once its end is
    // read; an element that is never closed (an empty-element tag) has neither.
    inline bool CloseElement(uint32_t nElement, const uint32_t* pChildren, uint32_t nChildren,
                             std::string_view svText);
    // Cuts the tables to fit; the tree is read-only afterwards.
    void Finish();

    static constexpr uint32_t kNone = UINT32_MAX;
    static constexpr uint32_t kRoot = 0;

    // The id of a name that occurs in the document.
    bool FindName(std::string_view svName, uint32_t& nName) const;
    const std::string& Name(uint32_t nName) const { return m_dqNames[nName].strUtf8; }
    // The same as wide text, converted once when the name was first seen.
    const std::wstring& WideName(uint32_t nName) const { return m_dqNames[nName].strWide; }
    uint32_t NameOf(uint32_t nElement) const { return m_vecElements[nElement].nName; }
    std::string_view TextOf(uint32_t nElement) const;
    uint32_t ChildCount(uint32_t nElement) const { return m_vecElements[nElement].nChildCount; }
    // nIndex below ChildCount.
    uint32_t ChildAt(uint32_t nElement, uint32_t nIndex) const
    {
        return m_vecChildren[m_vecElements[nElement].nFirstChild + nIndex];
    }
    // The nNth (1-based) child of that name.
    bool FindChild(uint32_t nElement, uint32_t nName, uint32_t nNth, uint32_t& nChild) const;

  private:
    struct Element {
        uint32_t nName;
        uint32_t nChildCount;
        uint32_t nFirstChild; // into m_vecChildren
        uint32_t nTextOffset; // into m_strText, UTF-8
        uint32_t nTextLength;
    };
    // The children of one element by name, in document order.
    using ChildIndex = std::unordered_map<uint32_t, std::vector<uint32_t>>;

    struct NameEntry {
        std::string strUtf8;
        std::wstring strWide;
    };
    // What building reads of a name, without the deque's arithmetic.
    struct NameRef {
        const char* pch; // strUtf8 of the entry
        size_t cch;
        // The name that followed this one last time: in a description of
        // many entries the names come in the same order in each.
        uint32_t nNext;
        // A name shorter than kHeadBytes as two words, zero beyond its end,
        // and the mask of its bytes: compared with the input without a loop.
        std::uint64_t aqwHead[2];
        std::uint64_t aqwMask[2];
    };
    static constexpr size_t kHeadBytes = 2 * sizeof(std::uint64_t);
    static NameRef MakeNameRef(const std::string& strName);

    bool GrowElements();
    const ChildIndex& IndexOf(uint32_t nElement) const; // m_mtxIndex held

    CRawBuffer<Element> m_vecElements;
    CRawBuffer<uint32_t> m_vecChildren; // each element's children side by side
    CRawBuffer<char> m_strText;
    std::deque<NameEntry> m_dqNames; // stable, so the map can view them
    CRawBuffer<NameRef> m_vecNameRefs;
    std::unordered_map<std::string_view, uint32_t> m_mapNames;
    uint32_t m_nLastName = kNone; // while building only

    // Built on first use, for elements with many children (the FILE entries
    // under the root): a lookup by name and number is then constant time.
    mutable std::mutex m_mtxIndex;
    mutable std::unordered_map<uint32_t, std::unique_ptr<ChildIndex>> m_mapIndex;
};

inline bool CTree::IsNameAt(uint32_t nName, const char* p, const char* pEnd) const
{
    const NameRef& ref = m_vecNameRefs[nName];
    if (ref.cch < kHeadBytes && static_cast<size_t>(pEnd - p) >= kHeadBytes) {
        std::uint64_t aqw[2];
        std::memcpy(aqw, p, sizeof aqw);
        return ((aqw[0] & ref.aqwMask[0]) ^ ref.aqwHead[0]) == 0 &&
               ((aqw[1] & ref.aqwMask[1]) ^ ref.aqwHead[1]) == 0;
    }
    return static_cast<size_t>(pEnd - p) >= ref.cch && std::memcmp(p, ref.pch, ref.cch) == 0;
}

inline bool CTree::AddElement(uint32_t nName, uint32_t& nElement)
{
    // The capacity never passes the limit of the count (see GrowElements),
    // so a full table is the only case to look at.
    if (m_vecElements.Size() == m_vecElements.Capacity() && !GrowElements())
        return false;
    nElement = static_cast<uint32_t>(m_vecElements.Size());
    m_vecElements.PushBackInPlace(Element{nName, 0, 0, 0, 0});
    return true;
}

inline bool CTree::CloseElement(uint32_t nElement, const uint32_t* pChildren, uint32_t nChildren,
                                std::string_view svText)
{
    Element& element = m_vecElements[nElement];
    if (nChildren != 0) {
        // Fewer children than elements, whose count is within 32 bits.
        element.nChildCount = nChildren;
        element.nFirstChild = static_cast<uint32_t>(m_vecChildren.Size());
        m_vecChildren.Append(pChildren, nChildren);
    }
    if (!svText.empty()) {
        if (svText.size() > kNone - m_strText.Size())
            return false;
        element.nTextOffset = static_cast<uint32_t>(m_strText.Size());
        element.nTextLength = static_cast<uint32_t>(svText.size());
        m_strText.Append(svText.data(), svText.size());
    }
    return true;
}

} // namespace zrxml
