#pragma once
// One filter run on one layer of a document: attached to the layer with a
// backup of it, run (whole, or clipped for a preview pane), previewed on
// the document and taken back, and finally applied: refreshed, recorded
// and handed to the history with the backup as its undo record (kind 6).
// Live commands and the player use the same run; only the record flag
// differs.
#include <cstdint>
#include <memory>

#include "filters/FilterDescriptor.h"
#include "storage/Rect.h"

namespace morvane {

class CBlockVMTC;
class CLayerData;
class TMTC;
class TPaper;

// The selection as the run sees it: its coverage rows and the bounding box
// of its non-zero coverage, both in layer coordinates.
struct FilterSelection {
    const CoverageRows* rows = nullptr;
    EdgeRect bounds{};
};

enum class FilterAttach : uint8_t { Ready, NoLayer, EmptySelection, NoMemory };

class CFlt4Core {
public:
    CFlt4Core(TPaper& paper, bool record);
    ~CFlt4Core();
    CFlt4Core(const CFlt4Core&) = delete;
    CFlt4Core& operator=(const CFlt4Core&) = delete;

    // Takes the layer, the bounds (the selection's, else the whole layer)
    // and a backup of the layer. selection: the document's active one while
    // none is given.
    FilterAttach Attach(const FilterDescriptor& filter, int32_t layerIndex, const FilterSelection* selection = nullptr);
    bool IsReady() const;

    // The routine over the bounds, or the part of them inside clip.
    FilterResult Run(const FilterRecord& record, const EdgeRect* clip = nullptr);
    // Run, refresh, and with the record flag the event and the undo record.
    // Whatever does not complete leaves the layer as it was: a refused
    // routine, or an event the recorder would not keep (Refused).
    FilterResult Apply(const FilterRecord& record);

    // A preview pane's picture: view (layer coordinates) as the filter makes
    // it, into out at its size. The layer holds the result only during the
    // call. False, out untouched, when the routine fails or view misses the
    // layer.
    bool PaintPane(const FilterRecord& record, const EdgeRect& view, TMTC& out);

    // Previews: the layer shows the filtered pixels until taken back.
    bool PreviewOnDocument(const FilterRecord& record);
    // Whether anything was restored.
    bool RestoreBackup();
    void EndPreview(bool redraw);

    const EdgeRect& Bounds() const { return bounds_; }
    CLayerData* Layer() const { return layer_; }
    int32_t LayerIndex() const { return layerIndex_; }
    const CBlockVMTC* Backup() const { return backup_.get(); }
    const CoverageRows* Coverage() const { return coverage_; }

private:
    void CopyBackBounds(const EdgeRect& rect);
    void Refresh();
    bool RecordEvent(const FilterRecord& record);
    void PushUndo();

    struct DocumentSelection;
    const FilterSelection* TakeDocumentSelection(const CLayerData& layer);

    TPaper& paper_;
    bool record_;
    const FilterDescriptor* filter_ = nullptr;
    int32_t layerIndex_ = -1;
    CLayerData* layer_ = nullptr;
    const CoverageRows* coverage_ = nullptr;
    EdgeRect bounds_{};
    std::unique_ptr<CBlockVMTC> backup_;
    std::unique_ptr<DocumentSelection> documentSelection_;
    bool previewed_ = false;
};

} // namespace morvane
