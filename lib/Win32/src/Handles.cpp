// The handle table: handles are numbers that stand for shared objects, so a
// call in progress keeps its object alive while another thread closes the
// handle, and a handle closed twice finds nothing the second time.
#include "Internal.h"

#include <mutex>

namespace kvwin32 {
namespace detail {

namespace {

// Open addressing over handle values, which are handed out in sequence, so
// that they fall into neighbouring slots and a handle costs no allocation
// of its own. Deletion shifts the entries after it back, which keeps every
// entry reachable from its home slot without markers for removed ones.
class CHandleTable {
  public:
    // Registers pObject under a handle value never given before.
    HANDLE Add(std::shared_ptr<CHandleObject> pObject)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if ((m_cUsed + 1) * 2 > m_vecSlots.size())
            Grow();
        std::uintptr_t u;
        do {
            u = m_uNext;
            m_uNext += 4;
            if (m_uNext < kFirst) // wrapped around
                m_uNext = kFirst;
        } while (u == reinterpret_cast<std::uintptr_t>(INVALID_HANDLE_VALUE) || Find(u) != kNone);
        Place(u, std::move(pObject));
        ++m_cUsed;
        return reinterpret_cast<HANDLE>(u);
    }

    std::shared_ptr<CHandleObject> Lookup(HANDLE h, EHandleKind eKind)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::size_t i = Find(reinterpret_cast<std::uintptr_t>(h));
        if (i == kNone || m_vecSlots[i].pObject->Kind() != eKind)
            return nullptr;
        return m_vecSlots[i].pObject;
    }

    bool Remove(HANDLE h, EHandleKind eKind)
    {
        std::shared_ptr<CHandleObject> pObject;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            std::size_t i = Find(reinterpret_cast<std::uintptr_t>(h));
            if (i == kNone || m_vecSlots[i].pObject->Kind() != eKind)
                return false;
            pObject = std::move(m_vecSlots[i].pObject);
            m_vecSlots[i].u = 0;
            --m_cUsed;
            // Close the gap: an entry after it that would not be found from
            // its home slot across the now empty one moves into it.
            const std::size_t uMask = m_vecSlots.size() - 1;
            for (std::size_t j = (i + 1) & uMask; m_vecSlots[j].u != 0; j = (j + 1) & uMask) {
                const std::size_t iHome = Home(m_vecSlots[j].u);
                // j's entry may stay when its home lies cyclically in (i, j].
                const bool bStays = i <= j ? (i < iHome && iHome <= j) : (i < iHome || iHome <= j);
                if (bStays)
                    continue;
                m_vecSlots[i] = std::move(m_vecSlots[j]);
                m_vecSlots[j].u = 0;
                i = j;
            }
        }
        // The object (and its descriptor) goes here, outside the lock, unless a
        // call on another thread still holds it.
        return true;
    }

  private:
    struct CSlot {
        std::uintptr_t u = 0; // 0: empty; handles start at kFirst
        std::shared_ptr<CHandleObject> pObject;
    };
    static constexpr std::uintptr_t kFirst = 0x1000;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::size_t Home(std::uintptr_t u) const
    {
        return static_cast<std::size_t>(u >> 2) & (m_vecSlots.size() - 1);
    }

    std::size_t Find(std::uintptr_t u) const
    {
        if (u == 0 || m_vecSlots.empty())
            return kNone;
        const std::size_t uMask = m_vecSlots.size() - 1;
        for (std::size_t i = Home(u); m_vecSlots[i].u != 0; i = (i + 1) & uMask)
            if (m_vecSlots[i].u == u)
                return i;
        return kNone;
    }

    void Place(std::uintptr_t u, std::shared_ptr<CHandleObject> pObject)
    {
        const std::size_t uMask = m_vecSlots.size() - 1;
        std::size_t i = Home(u);
        while (m_vecSlots[i].u != 0)
            i = (i + 1) & uMask;
        m_vecSlots[i].u = u;
        m_vecSlots[i].pObject = std::move(pObject);
    }

    void Grow()
    {
        std::vector<CSlot> vecOld(m_vecSlots.empty() ? 64 : m_vecSlots.size() * 2);
        vecOld.swap(m_vecSlots);
        for (CSlot& slot : vecOld)
            if (slot.u != 0)
                Place(slot.u, std::move(slot.pObject));
    }

    std::mutex m_mutex;
    std::vector<CSlot> m_vecSlots; // a power of two, at most half full
    std::size_t m_cUsed = 0;
    // Multiples of 4 as on Windows; values are not reused, so a stale
    // handle cannot reach a newer object.
    std::uintptr_t m_uNext = kFirst;
};

CHandleTable& Table()
{
    static CHandleTable table;
    return table;
}

} // namespace

HANDLE AddHandle(std::shared_ptr<CHandleObject> pObject)
{
    return Table().Add(std::move(pObject));
}

std::shared_ptr<CHandleObject> LookupHandle(HANDLE h, EHandleKind eKind)
{
    return Table().Lookup(h, eKind);
}

bool RemoveHandle(HANDLE h, EHandleKind eKind)
{
    return Table().Remove(h, eKind);
}

} // namespace detail
} // namespace kvwin32
