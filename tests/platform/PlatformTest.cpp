// The headless seams: what tests and the render mode rely on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/AtomicFile.h"
#include "platform/MemoryBudget.h"
#include "platform/SettingsStore.h"
#include "platform/UserNotifier.h"
#include "support/TempFolder.h"

using namespace morvane;

TEST(Settings, WrongTypeReadsAsMissing)
{
    MemorySettingsStore store;
    store.Write("config", "zoom", int32_t(3));
    store.Write("config", "name", std::string("a"));
    EXPECT_EQ(store.ReadInt("config", "zoom"), 3);
    EXPECT_FALSE(store.ReadString("config", "zoom"));
    EXPECT_FALSE(store.ReadInt("config", "name"));
    EXPECT_FALSE(store.ReadInt("paper", "zoom")); // sections are separate
    store.Remove("config", "zoom");
    EXPECT_FALSE(store.ReadInt("config", "zoom"));
}

TEST(Notifier, RecordsTextsAndAnswersFromTheScript)
{
    RecordingNotifier n;
    n.script = {Answer::Yes};
    n.Warn("警告です");
    EXPECT_EQ(n.Ask("続けますか？", Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(n.Ask("保存しますか？", Buttons::YesNoCancel), Answer::Cancel); // script empty: the safe default
    ASSERT_EQ(n.messages.size(), 3u);
    EXPECT_EQ(n.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(n.messages[0].text, "警告です");
}

TEST(MemoryBudget, LimitRefusesAndRestores)
{
    void* a = AllocBlock(100);
    ASSERT_NE(a, nullptr);
    {
        ScopedMemoryLimit limit(50);
        EXPECT_EQ(AllocBlock(51), nullptr);
        void* b = AllocBlock(50);
        EXPECT_NE(b, nullptr);
        EXPECT_EQ(AllocBlock(1), nullptr);
        FreeBlock(b, 50);
    }
    EXPECT_EQ(AllocBlock(uint64_t(1) << 63), nullptr); // absurd sizes never reach malloc
    FreeBlock(a, 100);
}

namespace {
std::string ReadAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
} // namespace

TEST(AtomicFile, OldFileSurvivesAnUncommittedOrFailedWrite)
{
    const support::TempFolder folder;
    const std::filesystem::path dir = folder.Path();
    const auto target = dir / "picture.bin";
    std::ofstream(target) << "old";
    {
        AtomicFile f(target.string());
        ASSERT_TRUE(f.IsOpen());
        EXPECT_TRUE(f.Write("new!", 4));
    } // dropped without Commit
    EXPECT_EQ(ReadAll(target), "old");
    {
        AtomicFile f(target.string());
        EXPECT_TRUE(f.Write("new!", 4));
        EXPECT_TRUE(f.Commit());
    }
    EXPECT_EQ(ReadAll(target), "new!");
    AtomicFile nowhere((dir / "missing-folder" / "x.bin").string());
    EXPECT_FALSE(nowhere.Write("x", 1));
    EXPECT_FALSE(nowhere.Commit());
    std::size_t left = std::distance(std::filesystem::directory_iterator(dir), {});
    EXPECT_EQ(left, 1u); // no temporary files left behind
}
