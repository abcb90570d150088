#include "document/CPictureThumbnail.h"

#include "document/TPaper.h"
#include "storage/ShrinkFootprint.h"

namespace morvane {

bool CPictureThumbnail::Refresh(TPaper& paper, int32_t width, int32_t height)
{
    const TTC& composite = paper.Composite();
    const ExtentRect changed = paper.TakePictureChange();
    const bool whole = &paper != shown_ || picture_.Width != width || picture_.Height != height;
    if (whole && !picture_.Resize(width, height)) {
        shown_ = nullptr;
        return false;
    }
    shown_ = &paper;
    if (!composite.IsValid())
        return false;
    const ExtentRect region = whole ? ExtentRect{0, 0, width, height}
                                    : ShrinkTargetsMeeting(composite.Width, composite.Height, width, height, changed);
    return region.width <= 0 || composite.ShrinkArea(picture_, region);
}

void CPictureThumbnail::Release()
{
    picture_.Release();
    shown_ = nullptr;
}

} // namespace morvane
