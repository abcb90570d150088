// Nib presets: the scale range a bitmap allows, refused bitmaps, copies, and
// the preset list with its built-ins, selection and change notification.
#include <gtest/gtest.h>

#include <memory>

#include "paint/CPenShapeMngr.h"
#include "paint/CPenShapeObj.h"

namespace morvane {
namespace {

std::unique_ptr<TChannel> Channel(int32_t w, int32_t h, uint8_t value = 0)
{
    auto channel = std::make_unique<TChannel>(w, h);
    if (channel->IsValid())
        channel->FillAll(value);
    return channel;
}

TEST(CPenShapeObj, BitmapScaleRangeFollowsItsSides)
{
    const struct {
        int32_t w, h, scaleMin, scaleMax;
        double radiusMin, radiusMax;
    } cases[] = {
        {8, 200, 50, 256, 50, 256}, {200, 8, 50, 256, 50, 256},   {256, 256, 1, 200, 1.28, 256},
        {1, 1, 400, 500, 2, 2.5},   {2, 300, 170, 170, 255, 255}, // 400 div 2 is above 51200 div 300
        {51200, 1, 1, 1, 256, 256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        CPenShapeObj item;
        ASSERT_TRUE(item.SetBitmap(Channel(c.w, c.h)));
        EXPECT_EQ(item.ScaleMin(), c.scaleMin);
        EXPECT_EQ(item.ScaleMax(), c.scaleMax);
        EXPECT_EQ(item.Scale(), std::clamp(100, c.scaleMin, c.scaleMax));
        EXPECT_EQ(item.nib.radius, item.Scale() * 100);
        EXPECT_TRUE(item.IsBitmapNib());
        ASSERT_TRUE(item.SetScale(c.scaleMin) || item.Scale() == c.scaleMin);
        EXPECT_DOUBLE_EQ(item.EffectiveRadius(), c.radiusMin);
        ASSERT_TRUE(item.SetScale(c.scaleMax) || item.Scale() == c.scaleMax);
        EXPECT_DOUBLE_EQ(item.EffectiveRadius(), c.radiusMax);
    }
}

TEST(CPenShapeObj, RefusedBitmapsLeaveTheItemAsItWas)
{
    CPenShapeObj item;
    const int32_t id = item.Id();
    EXPECT_FALSE(item.SetBitmap(nullptr));
    EXPECT_FALSE(item.SetBitmap(std::make_unique<TChannel>())); // empty
    EXPECT_FALSE(item.SetBitmap(Channel(51201, 1)));            // no scale left
    EXPECT_FALSE(item.IsBitmapNib());
    EXPECT_EQ(item.Id(), id);
    EXPECT_EQ(item.nib, NibRecord{});

    ASSERT_TRUE(item.SetBitmap(Channel(64, 32)));
    EXPECT_NE(item.Id(), id);                         // a new bitmap is a new nib
    EXPECT_FALSE(item.SetScale(100));                 // unchanged
    EXPECT_FALSE(item.SetScale(item.ScaleMax() + 1)); // out of range
    EXPECT_FALSE(item.SetScale(item.ScaleMin() - 1));
    EXPECT_TRUE(item.SetScale(150));
    EXPECT_EQ(item.nib.radius, 15000);
    EXPECT_DOUBLE_EQ(item.EffectiveRadius(), 48.0);

    item.ClearBitmap();
    EXPECT_FALSE(item.IsBitmapNib());
    EXPECT_EQ(item.ScaleMin(), 100);
    EXPECT_EQ(item.ScaleMax(), 100);
    EXPECT_FALSE(item.SetScale(120)); // a round nib has no scale
}

TEST(CPenShapeObj, CopyIsDeepWithItsOwnId)
{
    CPenShapeObj source;
    source.name = "鉛筆";
    source.aliased = 1;
    source.airMap.curve = 5;
    auto channel = Channel(40, 20, 7);
    *channel->PixelPtr(3, 4) = 200;
    ASSERT_TRUE(source.SetBitmap(std::move(channel)));
    ASSERT_TRUE(source.SetScale(300));

    CPenShapeObj copy;
    ASSERT_TRUE(copy.CopyFrom(source));
    EXPECT_NE(copy.Id(), source.Id());
    EXPECT_NE(copy.Bitmap(), source.Bitmap());
    EXPECT_EQ(copy.Bitmap()->GetValue(3, 4), 200);
    EXPECT_EQ(copy.Bitmap()->GetValue(0, 0), 7);
    EXPECT_EQ(copy.Scale(), 300);
    EXPECT_EQ(copy.nib.radius, 30000);
    EXPECT_EQ(copy.name, source.name);
    EXPECT_EQ(copy.airMap, source.airMap);
    EXPECT_EQ(copy.aliased, 1u);

    // A round item copied over a bitmap one leaves no bitmap behind.
    CPenShapeObj round(AirMapRecord{}, NibRecord{}, false);
    ASSERT_TRUE(copy.CopyFrom(round));
    EXPECT_FALSE(copy.IsBitmapNib());
    EXPECT_DOUBLE_EQ(copy.EffectiveRadius(), 10.0);
}

TEST(CPenShapeMngr, BuiltInsSelectionDeletionAndNotification)
{
    CPenShapeMngr list;
    int changes = 0;
    list.onChange = [&changes] { ++changes; };

    ASSERT_TRUE(list.FillBuiltIns());
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(list.Count(), 7);
    EXPECT_EQ(list.Selected(), 0);
    const struct {
        uint8_t curve;
        int32_t flat, radius, minRadius;
    } expected[] = {{3, 1000, 100, 750}, {3, 1000, 1600, 333}, {3, 1000, 1200, 1000}, {3, 0, 1200, 1000},
                    {3, 0, 3000, 600},   {3, 0, 1500, 600},    {0, 0, 2500, 600}};
    for (int32_t i = 0; i < 7; ++i) {
        const CPenShapeObj& item = *list.Item(i);
        EXPECT_TRUE(item.valid);
        EXPECT_EQ(item.airMap.curve, expected[i].curve);
        EXPECT_EQ(item.airMap.flat, expected[i].flat);
        EXPECT_EQ(item.airMap.add, 0);
        EXPECT_EQ(item.nib.radius, expected[i].radius);
        EXPECT_EQ(item.nib.minRadius, expected[i].minRadius);
        EXPECT_EQ(item.nib.aspect, 1000);
        EXPECT_EQ(item.aliased, 0u);
    }

    EXPECT_EQ(list.Item(7), nullptr);
    EXPECT_EQ(list.Item(-1), nullptr);
    EXPECT_FALSE(list.Select(7));
    EXPECT_TRUE(list.Select(6));
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(list.Select(6)); // no change, no notice
    EXPECT_EQ(changes, 2);

    // Deleting the selected last item moves the selection to the new last.
    EXPECT_TRUE(list.Delete(6));
    EXPECT_EQ(list.Selected(), 5);
    EXPECT_FALSE(list.Delete(6));
    EXPECT_EQ(list.Add(nullptr), -1);
    EXPECT_EQ(list.Add(std::make_unique<CPenShapeObj>()), 6);
    EXPECT_FALSE(list.Insert(8, std::make_unique<CPenShapeObj>()));
    EXPECT_TRUE(list.Insert(0, std::make_unique<CPenShapeObj>()));
    EXPECT_TRUE(list.Replace(1, std::make_unique<CPenShapeObj>()));
    EXPECT_EQ(list.Item(1)->nib.radius, 1000);
    EXPECT_EQ(changes, 6);

    list.SetModified(true);
    list.SetModified(true);
    list.SetFileName("default.psh");
    EXPECT_EQ(changes, 8);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Selected(), -1);
    EXPECT_EQ(list.SelectedItem(), nullptr);
    EXPECT_EQ(changes, 9);
}

} // namespace
} // namespace morvane
