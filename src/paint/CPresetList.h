#pragma once
// An owning list of presets the user picks from (nibs, brushes): the items,
// the selection, the modified flag, the file the list was read from, and an
// on-change notification for the panels that show it. A list with more
// state of its own follows insertions, deletions and clearing through the
// hooks below.
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace morvane {

template <typename ItemType>
class CPresetList {
public:
    CPresetList() = default;
    virtual ~CPresetList() = default;
    CPresetList(CPresetList&&) noexcept = default;
    CPresetList& operator=(CPresetList&&) noexcept = default;

    // Called after a change of selection, contents, modified flag or file
    // name; never for a call that leaves everything as it was, so a panel
    // that rebuilds itself on it does not flicker on a repeated pick.
    std::function<void()> onChange;

    // Empties the list; the selection becomes -1.
    void Clear()
    {
        const bool changed = !items_.empty() || selected_ != -1;
        items_.clear();
        selected_ = -1;
        if (Cleared() || changed)
            Changed();
    }

    int32_t Count() const { return int32_t(items_.size()); }
    // nullptr when out of range.
    ItemType* Item(int32_t index) const { return Contains(index) ? items_[size_t(index)].get() : nullptr; }
    ItemType* SelectedItem() const { return Item(selected_); }
    int32_t Selected() const { return selected_; }
    // Range-checked: false (nothing changes) outside the list.
    bool Select(int32_t index)
    {
        if (!Contains(index))
            return false;
        Update(selected_, index);
        return true;
    }

    // The index of the appended item, -1 when it cannot be added.
    int32_t Add(std::unique_ptr<ItemType> item)
    {
        const int32_t index = Count();
        return Insert(index, std::move(item)) ? index : -1;
    }
    // index may equal Count() (append).
    bool Insert(int32_t index, std::unique_ptr<ItemType> item)
    {
        if (!item || index < 0 || index > Count())
            return false;
        try {
            items_.insert(items_.begin() + index, std::move(item));
        } catch (const std::bad_alloc&) {
            return false;
        }
        Inserted(index);
        Changed();
        return true;
    }
    bool Replace(int32_t index, std::unique_ptr<ItemType> item)
    {
        if (!item || !Contains(index))
            return false;
        items_[size_t(index)] = std::move(item);
        Changed();
        return true;
    }
    // The selection moves to the last item when it falls off the end.
    bool Delete(int32_t index)
    {
        if (!Contains(index))
            return false;
        items_.erase(items_.begin() + index);
        if (selected_ >= Count())
            selected_ = Count() - 1;
        Deleted(index);
        Changed();
        return true;
    }

    bool Modified() const { return modified_; }
    void SetModified(bool modified) { Update(modified_, modified); }
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName) { Update(fileName_, fileName); }

protected:
    CPresetList(const CPresetList&) = delete;
    CPresetList& operator=(const CPresetList&) = delete;

    bool Contains(int32_t index) const { return index >= 0 && index < Count(); }

    // Sets a field of the list's state and notifies when its value changed.
    template <typename Value>
    void Update(Value& field, const Value& value)
    {
        if (field == value)
            return;
        field = value;
        Changed();
    }
    void Changed() const
    {
        if (onChange)
            onChange();
    }

    // All items at once (built-in sets), with the item to select.
    void ReplaceAll(std::vector<std::unique_ptr<ItemType>> items, int32_t selected)
    {
        items_ = std::move(items);
        selected_ = selected;
        Changed();
    }

    // After an item went in at or out of index; the selection is adjusted
    // already. Nothing to notify: the caller does.
    virtual void Inserted(int32_t) {}
    virtual void Deleted(int32_t) {}
    // After Clear emptied the items; true when the list's own state changed.
    virtual bool Cleared() { return false; }

private:
    std::vector<std::unique_ptr<ItemType>> items_;
    int32_t selected_ = -1;
    bool modified_ = false;
    std::string fileName_;
};

} // namespace morvane
