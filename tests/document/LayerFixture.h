#pragma once
// Shared by the layer tests: pictures of pseudo-random pixels painted into
// layers, and a notifier that records what the user would be told.
#include <gtest/gtest.h>

#include <string>

#include "document/CLayerMngr.h"
#include "platform/UserNotifier.h"
#include "storage/TMTC.h"

namespace morvane::testing_layers {

// xorshift32: the same pixels on every machine.
inline uint32_t NextRandom(uint32_t& s)
{
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

// Random colour; alpha random, or 255 when opaque.
inline void FillRandom(TMTC& image, uint32_t seed, bool opaque)
{
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x) {
            const uint32_t v = NextRandom(seed);
            image.Row(y)[x] = opaque ? v | 0xFF000000u : v;
        }
}

// Paints random pixels into rect of the layer's store.
inline void PaintRandom(CLayerData& layer, const ExtentRect& rect, uint32_t seed, bool opaque)
{
    TMTC patch(rect.width, rect.height);
    FillRandom(patch, seed, opaque);
    layer.Store->CopyIn(patch, {rect.left, rect.top}, 255, {0, 0, rect.width, rect.height});
}

inline bool SameImage(const TMTC& a, const TMTC& b)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return false;
    for (int32_t y = 0; y < a.Height; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), size_t(a.Width) * 4) != 0)
            return false;
    return true;
}

// Installs a recording notifier for the test's lifetime.
class Notes {
public:
    Notes() : previous_(SetNotifier(&notifier_)) {}
    ~Notes() { SetNotifier(previous_); }
    bool Said(const std::string& text) const
    {
        for (const auto& m : notifier_.messages)
            if (m.text == text)
                return true;
        return false;
    }
    size_t Count() const { return notifier_.messages.size(); }
    // The answer the next question gets.
    void Script(Answer answer) { notifier_.script.push_back(answer); }

private:
    RecordingNotifier notifier_;
    UserNotifier* previous_;
};

} // namespace morvane::testing_layers
