#include "Tree.h"

#include "Utf8.h"

#include <algorithm>

namespace zrxml {

namespace {

// Up to this many children a scan is as quick as an index and costs nothing.
constexpr uint32_t kScanLimit = 16;

// A guess of the decoded bytes per element, on the low side of a pretty-
// printed description; the tables grow past it and are cut to fit after.
constexpr size_t kBytesPerElement = 16;

// Element ids and counts are 32-bit, kNone excluded.
constexpr size_t kMaxElements = CTree::kNone - 1;

} // namespace

void CTree::Reserve(size_t cbText)
{
    // The text of the elements is never longer than the text they come
    // from (references and line ends only shrink), so one block holds it;
    // the pages it does not fill are never touched, and Finish cuts them.
    m_strText.Reserve(std::min<size_t>(cbText, kNone));
    const size_t nElements = std::min<size_t>(cbText / kBytesPerElement + 16, kMaxElements);
    m_vecElements.Reserve(nElements);
    m_vecChildren.Reserve(nElements);
}

bool CTree::GrowElements()
{
    const size_t nSize = m_vecElements.Size();
    if (nSize >= kMaxElements)
        return false;
    m_vecElements.Reserve(nSize > kMaxElements / 2 ? kMaxElements : std::max<size_t>(16, nSize * 2));
    return true;
}

uint32_t CTree::InternName(std::string_view svName)
{
    if (m_nLastName != kNone) {
        const uint32_t nGuess = m_vecNameRefs[m_nLastName].nNext;
        if (nGuess != kNone && NameBytes(nGuess) == svName) {
            m_nLastName = nGuess;
            return nGuess;
        }
    }
    uint32_t nName;
    const auto it = m_mapNames.find(svName);
    if (it != m_mapNames.end()) {
        nName = it->second;
    } else {
        nName = static_cast<uint32_t>(m_dqNames.size());
        m_dqNames.push_back(NameEntry{std::string(svName), Utf8ToWide(svName)});
        const std::string& strName = m_dqNames.back().strUtf8;
        m_vecNameRefs.PushBack(MakeNameRef(strName));
        m_mapNames.emplace(strName, nName);
    }
    if (m_nLastName != kNone)
        m_vecNameRefs[m_nLastName].nNext = nName;
    m_nLastName = nName;
    return nName;
}

CTree::NameRef CTree::MakeNameRef(const std::string& strName)
{
    NameRef ref{strName.data(), strName.size(), kNone, {0, 0}, {0, 0}};
    if (strName.size() < kHeadBytes) {
        // Built from bytes, so the words hold them in the order a load of
        // the input does, whatever the byte order of the machine.
        unsigned char abHead[kHeadBytes] = {};
        unsigned char abMask[kHeadBytes] = {};
        std::memcpy(abHead, strName.data(), strName.size());
        std::memset(abMask, 0xFF, strName.size());
        std::memcpy(ref.aqwHead, abHead, kHeadBytes);
        std::memcpy(ref.aqwMask, abMask, kHeadBytes);
    }
    return ref;
}

void CTree::Finish()
{
    m_vecElements.ShrinkToFit();
    m_vecChildren.ShrinkToFit();
    m_strText.ShrinkToFit();
    m_vecNameRefs.Release();
    m_nLastName = kNone;
}

bool CTree::FindName(std::string_view svName, uint32_t& nName) const
{
    const auto it = m_mapNames.find(svName);
    if (it == m_mapNames.end())
        return false;
    nName = it->second;
    return true;
}

std::string_view CTree::TextOf(uint32_t nElement) const
{
    const Element& element = m_vecElements[nElement];
    return std::string_view(m_strText.Data() + element.nTextOffset, element.nTextLength);
}

bool CTree::FindChild(uint32_t nElement, uint32_t nName, uint32_t nNth, uint32_t& nChild) const
{
    if (nNth == 0)
        return false;
    const uint32_t nCount = ChildCount(nElement);
    if (nCount <= kScanLimit) {
        for (uint32_t i = 0; i < nCount; ++i) {
            const uint32_t nCandidate = ChildAt(nElement, i);
            if (NameOf(nCandidate) == nName && --nNth == 0) {
                nChild = nCandidate;
                return true;
            }
        }
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mtxIndex);
    const ChildIndex& index = IndexOf(nElement);
    const auto it = index.find(nName);
    if (it == index.end() || nNth > it->second.size())
        return false;
    nChild = it->second[nNth - 1];
    return true;
}

const CTree::ChildIndex& CTree::IndexOf(uint32_t nElement) const
{
    std::unique_ptr<ChildIndex>& pIndex = m_mapIndex[nElement];
    if (!pIndex) {
        auto pNew = std::make_unique<ChildIndex>();
        const uint32_t nCount = ChildCount(nElement);
        for (uint32_t i = 0; i < nCount; ++i) {
            const uint32_t nChild = ChildAt(nElement, i);
            (*pNew)[NameOf(nChild)].push_back(nChild);
        }
        pIndex = std::move(pNew);
    }
    return *pIndex;
}

} // namespace zrxml
