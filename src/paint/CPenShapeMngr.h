#pragma once
// The list of nib presets the user picks from, with the selection and an
// on-change notification for the panels that show it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paint/CPenShapeObj.h"

namespace morvane {

class CPenShapeMngr {
public:
    static constexpr int kBuiltInCount = 7;

    // Called after every change of selection, contents, modified flag or file name.
    std::function<void()> onChange;

    void Clear();
    int32_t Count() const { return int32_t(items_.size()); }
    // nullptr when out of range.
    CPenShapeObj* Item(int32_t index) const;
    CPenShapeObj* SelectedItem() const { return Item(selected_); }
    int32_t Selected() const { return selected_; }
    bool Select(int32_t index);

    // The index of the appended item, -1 when it cannot be added.
    int32_t Add(std::unique_ptr<CPenShapeObj> item);
    // index may equal Count() (append).
    bool Insert(int32_t index, std::unique_ptr<CPenShapeObj> item);
    bool Replace(int32_t index, std::unique_ptr<CPenShapeObj> item);
    // The selection moves to the last item when it falls off the end.
    bool Delete(int32_t index);

    // Replaces the list with the seven built-in nibs and selects the first.
    bool FillBuiltIns();

    bool Modified() const { return modified_; }
    void SetModified(bool modified);
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName);

private:
    void Changed() const;

    std::vector<std::unique_ptr<CPenShapeObj>> items_;
    int32_t selected_ = -1;
    bool modified_ = false;
    std::string fileName_;
};

} // namespace morvane
