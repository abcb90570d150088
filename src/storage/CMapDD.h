#pragma once
// A small map from 32-bit keys to 32-bit values; the event recorder and player
// use it for tone and nib identifiers. Failures come back as false results and
// are kept as the last status, as the callers expect.
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace morvane {

enum class MapStatus : int32_t {
    Ok = 0,
    NoMemory = 1,
    NotFound = 2,
};

class CMapDD {
public:
    // The capacity is a hint for the expected number of keys.
    explicit CMapDD(uint32_t capacity = 10);

    // True when the key is present; value is written only then.
    bool Lookup(uint32_t key, uint32_t& value) const;
    bool SetAt(uint32_t key, uint32_t value);
    // False (status NotFound) when the key was not there.
    bool RemoveKey(uint32_t key);
    bool RemoveAll();

    size_t Count() const { return map_.size(); }
    // The status of the constructor or of the last SetAt, RemoveKey or RemoveAll.
    MapStatus LastStatus() const { return status_; }

private:
    bool Finish(MapStatus status);

    std::unordered_map<uint32_t, uint32_t> map_;
    MapStatus status_ = MapStatus::Ok;
};

} // namespace morvane
