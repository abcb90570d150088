#include <gtest/gtest.h>

#include <vector>

#include "platform/MemoryBudget.h"
#include "storage/CBlockVMTC.h"

using namespace morvane;

namespace {
constexpr uint64_t kBlock = 4096;

// Each test starts from an empty pool.
class BlockPool : public ::testing::Test {
protected:
    void SetUp() override { ReleasePooledBlocks(); }
    void TearDown() override { ReleasePooledBlocks(); }
};
} // namespace

TEST_F(BlockPool, FreedBlockIsTakenAgainAndTheBudgetCountsIt)
{
    const uint64_t before = MemoryBudget::InUse();
    void* a = AllocPooledBlock(kBlock);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(MemoryBudget::InUse(), before + kBlock);
    FreePooledBlock(a, kBlock);
    EXPECT_EQ(MemoryBudget::InUse(), before); // a kept block is outside the budget
    EXPECT_EQ(PooledBytes(), kBlock);

    void* other = AllocPooledBlock(2 * kBlock); // another size does not take it
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, a);
    EXPECT_EQ(AllocPooledBlock(kBlock), a);
    EXPECT_EQ(PooledBytes(), 0u);
    EXPECT_EQ(MemoryBudget::InUse(), before + 3 * kBlock);

    // Blocks come back in the order they were freed, so that a store freed
    // in walk order gives the next store its blocks in the same order.
    void* b = AllocPooledBlock(kBlock);
    FreePooledBlock(a, kBlock);
    FreePooledBlock(b, kBlock);
    EXPECT_EQ(AllocPooledBlock(kBlock), a);
    EXPECT_EQ(AllocPooledBlock(kBlock), b);
    FreePooledBlock(a, kBlock);
    FreePooledBlock(b, kBlock);
    FreePooledBlock(other, 2 * kBlock);
    EXPECT_EQ(MemoryBudget::InUse(), before);
}

TEST_F(BlockPool, LoweredBudgetRefusesEvenWhenABlockIsKept)
{
    FreePooledBlock(AllocPooledBlock(kBlock), kBlock);
    ASSERT_EQ(PooledBytes(), kBlock);
    {
        ScopedMemoryLimit none(0);
        EXPECT_EQ(AllocPooledBlock(kBlock), nullptr);
        CBlockVMTC store(64, 64);
        ASSERT_FALSE(store.IsValid()); // not even its block table
    }
    {
        ScopedMemoryLimit tableOnly(4 * sizeof(SBlock));
        CBlockVMTC store(64, 64);
        ASSERT_TRUE(store.IsValid());
        EXPECT_FALSE(store.SetPixel(1, 1, 0xFF112233u));
        EXPECT_EQ(store.CommittedBytes(), 0);
    }
    EXPECT_EQ(PooledBytes(), kBlock); // the refusals left the kept block alone
}

TEST_F(BlockPool, KeepsAtMostTheCapAndOnlyBlockSizes)
{
    // The largest kept size, so that the cap is reached with few blocks.
    constexpr uint64_t kLarge = uint64_t(64) << 10;
    std::vector<void*> blocks(size_t(kBlockPoolCap / kLarge) + 2);
    for (void*& b : blocks)
        ASSERT_NE(b = AllocPooledBlock(kLarge), nullptr);
    for (void* b : blocks)
        FreePooledBlock(b, kLarge);
    EXPECT_EQ(PooledBytes(), kBlockPoolCap);

    ReleasePooledBlocks();
    EXPECT_EQ(PooledBytes(), 0u);
    FreePooledBlock(AllocPooledBlock(kLarge + 1), kLarge + 1); // a buffer, not a block
    FreePooledBlock(AllocPooledBlock(4), 4);                   // too small to chain
    EXPECT_EQ(PooledBytes(), 0u);
}

TEST_F(BlockPool, ReusedBlockReadsAsItsNewStoreNotTheOldPixels)
{
    {
        CBlockVMTC old(32, 32);
        for (int32_t y = 0; y < 32; ++y)
            for (int32_t x = 0; x < 32; ++x)
                ASSERT_TRUE(old.SetPixel(x, y, 0xFF000000u | uint32_t(x * 32 + y)));
    }
    ASSERT_EQ(PooledBytes(), kBlock);
    CBlockVMTC fresh(32, 32);
    fresh.FillAll(0x80123456u);
    ASSERT_TRUE(fresh.SetPixel(5, 7, 0xFFFFFFFFu));
    EXPECT_EQ(PooledBytes(), 0u);
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x)
            EXPECT_EQ(fresh.GetPixel(x, y), x == 5 && y == 7 ? 0xFFFFFFFFu : 0x80123456u) << x << "," << y;
}
