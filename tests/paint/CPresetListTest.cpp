// What the nib and brush lists share: the panels that show them are told of
// every change and of nothing else.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <type_traits>

#include "paint/CPenMethodMngr.h"
#include "paint/CPenShapeMngr.h"

using namespace morvane;

namespace {

template <typename List>
class PresetLists : public ::testing::Test {
protected:
    using Item = std::remove_pointer_t<decltype(std::declval<List>().Item(0))>;

    PresetLists()
    {
        for (int i = 0; i < 3; ++i)
            list.Add(std::make_unique<Item>());
        list.onChange = [this] { ++changes; };
    }

    // The notices a call gave.
    template <typename Call>
    int NoticesOf(Call call)
    {
        changes = 0;
        call();
        return changes;
    }

    List list;
    int changes = 0;
};

using Lists = ::testing::Types<CPenShapeMngr, CPenMethodMngr>;
TYPED_TEST_SUITE(PresetLists, Lists);

TYPED_TEST(PresetLists, NotifyOnEveryChangeAndOnNothingElse)
{
    auto& list = this->list;
    using Item = typename TestFixture::Item;
    const struct {
        const char* what;
        std::function<void()> call;
        int notices;
    } cases[] = {
        {"select another", [&] { list.Select(1); }, 1},
        {"select it again", [&] { list.Select(1); }, 0},
        {"select outside", [&] { list.Select(3); }, 0},
        {"mark modified", [&] { list.SetModified(true); }, 1},
        {"mark modified again", [&] { list.SetModified(true); }, 0},
        {"name the file", [&] { list.SetFileName("a.psh"); }, 1},
        {"name it again", [&] { list.SetFileName("a.psh"); }, 0},
        {"insert", [&] { list.Insert(0, std::make_unique<Item>()); }, 1},
        {"insert nothing", [&] { list.Insert(0, nullptr); }, 0},
        {"replace", [&] { list.Replace(0, std::make_unique<Item>()); }, 1},
        {"delete", [&] { list.Delete(0); }, 1},
        {"delete outside", [&] { list.Delete(9); }, 0},
        {"clear", [&] { list.Clear(); }, 1},
        {"clear the empty list", [&] { list.Clear(); }, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(this->NoticesOf(c.call), c.notices) << c.what;
}

TEST(CPenMethodMngr, AlternateAndRememberedNotifyOnlyOnAChange)
{
    CPenMethodMngr list;
    for (int i = 0; i < 3; ++i)
        list.Add(std::make_unique<CPenMethodObj>());
    int changes = 0;
    list.onChange = [&] { ++changes; };

    list.SetAlternate(2, false);
    list.SetAlternate(2, false);
    list.SetAlternate(7, true); // clamped to 2, where it is already
    EXPECT_EQ(changes, 1);

    // Set from a file the first time even with the values it had: from then
    // on insertions move them.
    list.SetRemembered({0, 0, 0, 0, 0});
    list.SetRemembered({0, 0, 0, 0, 0});
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(list.RememberedSet());

    list.Clear();
    EXPECT_EQ(list.Alternate(), -1);
    EXPECT_EQ(changes, 3);
}

} // namespace
