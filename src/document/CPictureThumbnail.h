#pragma once
// A shrunk copy of a document's composite kept outside the document (the
// navigator's picture): made whole for another document or size, else again
// only where the document rendered since the last refresh, each pixel from
// its whole box, so it always equals a whole shrink.
#include <cstdint>

#include "storage/TMTC.h"

namespace morvane {

class TPaper;

class CPictureThumbnail {
public:
    // The picture at width x height of the paper's composite; false when
    // either has no pixels.
    bool Refresh(TPaper& paper, int32_t width, int32_t height);
    void Release();
    const TMTC& Picture() const { return picture_; }

private:
    TMTC picture_;
    // The document shown (compared only, never used).
    const TPaper* shown_ = nullptr;
};

} // namespace morvane
