// The handle table: handles are numbers that stand for shared objects, so a
// call in progress keeps its object alive while another thread closes the
// handle, and a handle closed twice finds nothing the second time.
#include "Internal.h"

#include <mutex>
#include <unordered_map>

namespace kvwin32 {
namespace detail {

namespace {

struct CHandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<CHandleObject>> mapObjects;
    // Multiples of 4 as on Windows; values are not reused, so a stale
    // handle cannot reach a newer object.
    std::uintptr_t uNext = 0x1000;
};

CHandleTable& Table()
{
    static CHandleTable table;
    return table;
}

} // namespace

HANDLE AddHandle(std::shared_ptr<CHandleObject> pObject)
{
    CHandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    std::uintptr_t u;
    do {
        u = table.uNext;
        table.uNext += 4;
        if (table.uNext < 0x1000) // wrapped around
            table.uNext = 0x1000;
    } while (u == reinterpret_cast<std::uintptr_t>(INVALID_HANDLE_VALUE) || table.mapObjects.count(u) != 0);
    table.mapObjects.emplace(u, std::move(pObject));
    return reinterpret_cast<HANDLE>(u);
}

std::shared_ptr<CHandleObject> LookupHandle(HANDLE h, EHandleKind eKind)
{
    CHandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.mapObjects.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == table.mapObjects.end() || it->second->Kind() != eKind)
        return nullptr;
    return it->second;
}

bool RemoveHandle(HANDLE h, EHandleKind eKind)
{
    std::shared_ptr<CHandleObject> pObject;
    CHandleTable& table = Table();
    {
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.mapObjects.find(reinterpret_cast<std::uintptr_t>(h));
        if (it == table.mapObjects.end() || it->second->Kind() != eKind)
            return false;
        pObject = std::move(it->second);
        table.mapObjects.erase(it);
    }
    // The object (and its descriptor) goes here, outside the lock, unless a
    // call on another thread still holds it.
    return true;
}

} // namespace detail
} // namespace kvwin32
