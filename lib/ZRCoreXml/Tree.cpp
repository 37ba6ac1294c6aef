#include "Tree.h"

namespace zrxml {

namespace {

// Up to this many children a scan is as quick as an index and costs nothing.
constexpr uint32_t kScanLimit = 16;

} // namespace

uint32_t CTree::InternName(std::string_view svName)
{
    const auto it = m_mapNames.find(svName);
    if (it != m_mapNames.end())
        return it->second;
    const uint32_t nName = static_cast<uint32_t>(m_dqNames.size());
    m_dqNames.emplace_back(svName);
    m_mapNames.emplace(m_dqNames.back(), nName);
    return nName;
}

bool CTree::AddElement(uint32_t nName, uint32_t nParent, uint32_t& nElement)
{
    if (m_vecElements.size() >= kNone - 1)
        return false;
    nElement = static_cast<uint32_t>(m_vecElements.size());
    m_vecElements.push_back(Element{nName, 0, 0, 0, 0});
    m_vecParents.push_back(nParent);
    if (nParent != kNone)
        ++m_vecElements[nParent].nChildCount;
    return true;
}

bool CTree::SetText(uint32_t nElement, std::string_view svText)
{
    if (svText.empty())
        return true;
    if (svText.size() > kNone - m_strText.size())
        return false;
    Element& element = m_vecElements[nElement];
    element.nTextOffset = static_cast<uint32_t>(m_strText.size());
    element.nTextLength = static_cast<uint32_t>(svText.size());
    m_strText.append(svText);
    return true;
}

void CTree::Finish()
{
    // Each element's slice of m_vecChildren; filled from the back so the
    // children keep document order and nFirstChild ends at the start.
    uint32_t nEnd = 0;
    for (Element& element : m_vecElements) {
        nEnd += element.nChildCount;
        element.nFirstChild = nEnd;
    }
    m_vecChildren.assign(nEnd, 0);
    for (size_t i = m_vecElements.size(); i-- > 1;)
        m_vecChildren[--m_vecElements[m_vecParents[i]].nFirstChild] = static_cast<uint32_t>(i);
    std::vector<uint32_t>().swap(m_vecParents);
    m_vecElements.shrink_to_fit();
    m_strText.shrink_to_fit();
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
    return std::string_view(m_strText.data() + element.nTextOffset, element.nTextLength);
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
