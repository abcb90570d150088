#include <gtest/gtest.h>

#include <string>

#include "files/FileTypes.h"

namespace morvane {
namespace {

TEST(FileTypes, TypesByExtensionInAnyCase)
{
    const struct {
        const char* path;
        FileType type;
    } cases[] = {
        {"/a/PICTURE.JPEG", FileType::Jpeg}, {"x.jfi", FileType::Jpeg},        {"x.Png", FileType::Png},
        {"x.bmp", FileType::Bmp},            {"x.psd", FileType::Psd},         {"x.mci", FileType::Document},
        {"x.ktb", FileType::OldDocument},    {"x.kte", FileType::OldEvents},   {"x.mes", FileType::Events2},
        {"x.vd3", FileType::Events3},        {"x.ME4", FileType::Events4},     {"x.gif", FileType::Unsupported},
        {"noextension", FileType::Unsupported}, {"/dir.png/file", FileType::Unsupported},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileTypeOf(c.path), c.type) << c.path;
}

TEST(FileTypes, DialogKindsAcceptTheirExtensions)
{
    const struct {
        const char* path;
        int kind;
        bool accepted;
    } cases[] = {
        {"a.MCI", 0, true},  {"a.ktb", 0, true},  {"a.jfif", 0, true}, {"a.vd4", 0, false}, {"a.mci", 1, false},
        {"a.png", 1, true},  {"a.me3", 2, true},  {"a.png", 2, false}, {"a.pmt", 3, true},  {"a.pmt", 11, true},
        {"a.txt", 5, true},  {"a.txt", 13, true}, {"a.txt", 16, false}, {"a.jpg", 8, true}, {"a.png", 17, true},
        {"a.jpg", 17, false}, {"a.ani", 18, true}, {"a.png", 19, false}, {"a", 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AcceptsExtension(c.path, c.kind), c.accepted) << c.path << " kind " << c.kind;
    for (int kind = 0; kind <= 18; ++kind)
        EXPECT_NE(DialogKindOf(kind), nullptr) << kind;
    EXPECT_EQ(DialogKindOf(19), nullptr);
    EXPECT_EQ(DialogKindOf(8)->filters.size(), 4u);
    EXPECT_TRUE(DialogKindOf(8)->save && DialogKindOf(8)->preview);
    EXPECT_FALSE(DialogKindOf(5)->save || DialogKindOf(5)->preview);
}

TEST(FileTypes, QtFiltersListBothCasesOnce)
{
    EXPECT_EQ(QtFilterOf("BMP (*.bmp)|*.BMP"), "BMP (*.bmp *.BMP)");
    EXPECT_EQ(QtFilterOf("すべてのファイル|*.*"), "すべてのファイル (*.*)");
    EXPECT_EQ(QtFilterOf(DialogKindOf(2)->filters[0]), "Morvane4 イベント (*.vd4 *.VD4 *.me4 *.ME4)");
}

TEST(FileTypes, SaveFiltersSwapTheExtension)
{
    const struct {
        const char* name;
        int kind, filter;
        const char* swapped;
    } cases[] = {
        {"a.mci", 8, 2, "a.jpg"},   {"a.b.mci", 8, 3, "a.b.png"}, {"dir.x/a", 8, 1, "dir.x/a.bmp"},
        {"a.png", 8, 0, "a.mci"},   {"a.mpl", 13, 2, "a.pcs"},    {"a.bmp", 17, 1, "a.png"},
        {"a.bmp", 17, 2, "a.bmp"},  {"a.bmp", 0, 1, "a.bmp"},     {"a.psh", 12, 0, "a.psh"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SwapSaveExtension(c.name, c.kind, c.filter), c.swapped) << c.name << " " << c.kind;
}

} // namespace
} // namespace morvane
