#include "storage/CMapDD.h"

#include <algorithm>
#include <new>

namespace morvane {

namespace {
// The hint only saves rehashing; a huge one must not reserve a huge table.
constexpr uint32_t kMaxCapacityHint = 4096;
} // namespace

CMapDD::CMapDD(uint32_t capacity)
{
    try {
        map_.reserve(std::min(capacity, kMaxCapacityHint));
    } catch (const std::bad_alloc&) {
        status_ = MapStatus::NoMemory;
    }
}

bool CMapDD::Finish(MapStatus status)
{
    status_ = status;
    return status == MapStatus::Ok;
}

bool CMapDD::Lookup(uint32_t key, uint32_t& value) const
{
    auto found = map_.find(key);
    if (found == map_.end())
        return false;
    value = found->second;
    return true;
}

bool CMapDD::SetAt(uint32_t key, uint32_t value)
{
    try {
        map_.insert_or_assign(key, value);
    } catch (const std::bad_alloc&) {
        return Finish(MapStatus::NoMemory);
    }
    return Finish(MapStatus::Ok);
}

bool CMapDD::RemoveKey(uint32_t key)
{
    return Finish(map_.erase(key) ? MapStatus::Ok : MapStatus::NotFound);
}

bool CMapDD::RemoveAll()
{
    map_.clear();
    return Finish(MapStatus::Ok);
}

} // namespace morvane
