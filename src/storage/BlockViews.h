#pragma once
// Pixel buffers over one block of a block store, so that every buffer
// operation works on a single block. They are made on the fly (a block record
// stays small) and never own memory: Resize fails and Release only forgets
// the pointers. Rows are top-down in both, BlockWidth apart.
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

struct SBlock;

class TVMTC : public TMTC {
public:
    // side: the nominal block size; rowOffsets: the store's shared row table.
    TVMTC(const SBlock& block, int32_t side, int64_t* rowOffsets);
    ~TVMTC() override { Release(); }

    bool Resize(int32_t, int32_t) override { return false; }
    void Release() override { Init(); }

    const SBlock& Block;
};

class TVChannel : public TChannel {
public:
    TVChannel(const SBlock& block, int32_t side, int64_t* rowOffsets);
    ~TVChannel() override { Release(); }

    bool Resize(int32_t, int32_t) override { return false; }
    void Release() override { Init(); }
    int64_t RowStep() const override { return Width; }

    const SBlock& Block;
};

} // namespace morvane
