#pragma once
// Lists of nib and brush presets built in code, the notifier that records
// messages, and comparisons item by item.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/ByteStream.h"
#include "paint/CPenMethodMngr.h"
#include "paint/CPenShapeMngr.h"
#include "paint/TPaintParam.h"
#include "platform/UserNotifier.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace morvane::testing {

using support::Bytes;
using support::ReadBytes;
using support::TempFolder;
using support::WriteBytes;

struct ScopedNotifier {
    ScopedNotifier() : previous(SetNotifier(&notifier)) {}
    ~ScopedNotifier() { SetNotifier(previous); }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const NotifiedMessage& m : notifier.messages)
            texts.push_back(m.text);
        return texts;
    }
    RecordingNotifier notifier;
    UserNotifier* previous;
};

inline std::unique_ptr<TChannel> PatternChannel(int32_t w, int32_t h)
{
    auto channel = std::make_unique<TChannel>(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *channel->PixelPtr(x, y) = uint8_t((x * 7 + y * 13) & 0xFF);
    return channel;
}

inline TMTC PatternIcon(int32_t side, uint32_t seed)
{
    TMTC icon(side, side);
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x)
            *icon.PixelPtr(x, y) = 0xFF000000u | (uint32_t(x * 3 + seed) << 16) | uint32_t(y * 5 + seed);
    return icon;
}

inline std::unique_ptr<CPenShapeObj> RoundNib(const char* name)
{
    AirMapRecord airMap;
    airMap.curve = 5;
    airMap.flat = 200;
    airMap.add = 100;
    NibRecord nib;
    nib.radius = 1250;
    nib.aspect = 600;
    nib.angle = 450;
    nib.minRadius = 300;
    auto item = std::make_unique<CPenShapeObj>(airMap, nib, true);
    item->name = name;
    return item;
}

inline std::unique_ptr<CPenShapeObj> BitmapNib(const char* name, int32_t w = 20, int32_t h = 12)
{
    auto item = RoundNib(name);
    item->aliased = 0;
    EXPECT_TRUE(item->SetBitmap(PatternChannel(w, h)));
    EXPECT_TRUE(item->SetScale(150));
    return item;
}

inline bool SamePixels(const CDibCore* a, const CDibCore* b)
{
    if (!a || !b)
        return a == b;
    if (a->Width != b->Width || a->Height != b->Height || a->BytesPerPixel() != b->BytesPerPixel())
        return false;
    const size_t rowBytes = size_t(a->Width) * size_t(a->BytesPerPixel());
    for (int32_t y = 0; y < a->Height; ++y)
        if (std::memcmp(a->RowPtr(y), b->RowPtr(y), rowBytes) != 0)
            return false;
    return true;
}

inline void ExpectSameNib(const CPenShapeObj* a, const CPenShapeObj* b)
{
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (!a)
        return;
    EXPECT_EQ(a->valid, b->valid);
    EXPECT_EQ(a->isBitmap, b->isBitmap);
    EXPECT_EQ(a->airMap, b->airMap);
    EXPECT_EQ(a->nib, b->nib);
    EXPECT_EQ(a->aliased, b->aliased);
    EXPECT_EQ(a->name, b->name);
    EXPECT_EQ(a->Scale(), b->Scale());
    EXPECT_EQ(a->ScaleMin(), b->ScaleMin());
    EXPECT_TRUE(SamePixels(a->Bitmap(), b->Bitmap()));
}

inline void ExpectSamePreset(const CPenMethodObj* a, const CPenMethodObj* b)
{
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->name, b->name);
    EXPECT_EQ(a->Block(), b->Block());
    EXPECT_EQ(a->Kind(), b->Kind());
    EXPECT_TRUE(SamePixels(a->Icon(), b->Icon()));
    EXPECT_TRUE(SamePixels(a->SmallIcon(), b->SmallIcon()));
    ExpectSameNib(a->Nib(), b->Nib());
}

// A preset of a kind's defaults, named, with the nib given (or its own).
inline std::unique_ptr<CPenMethodObj> Preset(PaintKind kind, const char* name,
                                             std::unique_ptr<CPenShapeObj> nib = nullptr)
{
    auto preset = std::make_unique<CPenMethodObj>();
    EXPECT_TRUE(preset->FromPaintParam(TPaintParam(kind)));
    preset->name = name;
    if (nib)
        preset->SetNib(std::move(nib));
    return preset;
}

} // namespace morvane::testing
