#include "TreeCache.h"

#include <ZRXmlParseCount.h>

#include <atomic>
#include <mutex>

namespace zrxml {

namespace {

struct CCacheSlot {
    CContentHash hash;
    std::size_t cbData = 0;
    std::weak_ptr<const CTree> pTree;
};

// A few documents at a time are all a run has open.
constexpr std::size_t kSlots = 4;

struct CTreeCache {
    std::mutex mtx;
    CCacheSlot aSlots[kSlots];
    std::size_t iNext = 0; // the slot a new tree takes when none is free
};

// Never destroyed: a document released while the process ends may still ask.
CTreeCache& Cache()
{
    static CTreeCache* const s_pCache = new CTreeCache();
    return *s_pCache;
}

std::atomic<long> s_nParses{0};

} // namespace

std::shared_ptr<const CTree> FindParsedTree(const CContentHash& hash, std::size_t cbData)
{
    CTreeCache& cache = Cache();
    std::lock_guard<std::mutex> lock(cache.mtx);
    for (CCacheSlot& slot : cache.aSlots) {
        if (slot.cbData == cbData && slot.hash == hash) {
            if (std::shared_ptr<const CTree> pTree = slot.pTree.lock())
                return pTree;
        }
    }
    return nullptr;
}

void RememberParsedTree(const CContentHash& hash, std::size_t cbData,
                        const std::shared_ptr<const CTree>& pTree)
{
    CTreeCache& cache = Cache();
    std::lock_guard<std::mutex> lock(cache.mtx);
    CCacheSlot* pSlot = nullptr;
    for (CCacheSlot& slot : cache.aSlots) {
        if (slot.pTree.expired()) {
            pSlot = &slot;
            break;
        }
    }
    if (!pSlot) {
        pSlot = &cache.aSlots[cache.iNext];
        cache.iNext = (cache.iNext + 1) % kSlots;
    }
    pSlot->hash = hash;
    pSlot->cbData = cbData;
    pSlot->pTree = pTree;
}

void CountParse()
{
    s_nParses.fetch_add(1, std::memory_order_relaxed);
}

} // namespace zrxml

extern "C" ZRXML_API long ZRXmlParseCount()
{
    return zrxml::s_nParses.load(std::memory_order_relaxed);
}
