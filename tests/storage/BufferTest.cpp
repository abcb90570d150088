// Buffer layouts, resizing and the out-of-memory path.
#include <gtest/gtest.h>

#include "platform/DiagnosticSink.h"
#include "platform/MemoryBudget.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

using namespace morvane;

TEST(Buffers, Layouts)
{
    TChannel c(3, 2);
    ASSERT_TRUE(c.IsValid());
    EXPECT_EQ(c.RowOffsets[0], 3);
    EXPECT_EQ(c.RowOffsets[1], 0);
    EXPECT_EQ(c.RowStep(), -3);
    EXPECT_FALSE(c.IsTopDown());

    TMTC m(3, 2);
    EXPECT_EQ(m.RowOffsets[1], 12);
    EXPECT_TRUE(m.IsTopDown());

    TTC t(3, 2);
    EXPECT_EQ(t.RowOffsets[0], 12);
    EXPECT_EQ(t.RowOffsets[1], 0);
    EXPECT_FALSE(t.IsTopDown());
    EXPECT_EQ(t.ByteSize(), 24);
}

TEST(Buffers, ResizeRules)
{
    TMTC m(4, 6);
    for (int i = 0; i < 24; ++i)
        reinterpret_cast<uint32_t*>(m.Bits)[i] = uint32_t(i);
    uint8_t* block = m.Bits;
    ASSERT_TRUE(m.Resize(6, 4));
    EXPECT_EQ(m.Bits, block); // same byte count: the block and its contents stay
    EXPECT_EQ(m.GetPixel(1, 1), 7u);
    ASSERT_TRUE(m.Resize(6, 4));
    EXPECT_EQ(m.Bits, block);

    TTC t;
    ASSERT_TRUE(t.Resize(0, 5));
    EXPECT_EQ(t.Width, 1);
    EXPECT_EQ(t.Height, 5);

    TMTC empty;
    EXPECT_FALSE(IsValidBuffer(&empty));
    EXPECT_FALSE(IsValidBuffer(nullptr));
}

TEST(Buffers, BadSizesFailWithTheDiagnosticLine)
{
    CapturingDiagnosticSink sink;
    ScopedDiagnostics scope(sink);

    TMTC m(4, 6);
    EXPECT_FALSE(m.Resize(-4, -6)); // same byte count, but never a reuse
    EXPECT_FALSE(m.IsValid());
    EXPECT_FALSE(TChannel().Resize(-1, 5));
    EXPECT_FALSE(TTC().Resize(5, -1));
    EXPECT_FALSE(TMTC().Resize(2000000000, 2000000000)); // 2^64 bytes would wrap
    ASSERT_EQ(sink.lines.size(), 4u);
    EXPECT_EQ(sink.lines[0], "TMTC::Resize: caught an exception!\\n");
    EXPECT_EQ(sink.lines[1], "TChannel::Resize: caught an exception!\\n");
    EXPECT_EQ(sink.lines[2], "TTC::Resize: caught an exception!\\n");
}

TEST(Buffers, OutOfMemoryLeavesBufferReleased)
{
    CapturingDiagnosticSink sink;
    ScopedDiagnostics scope(sink);
    TMTC m(2, 2);
    TChannel c(2, 2);
    const uint64_t before = MemoryBudget::InUse();
    {
        ScopedMemoryLimit limit(1000);
        EXPECT_FALSE(m.Resize(100, 100));
        EXPECT_FALSE(c.Resize(100, 100));
        EXPECT_TRUE(TMTC(10, 10).IsValid()); // small ones still fit
    }
    EXPECT_FALSE(m.IsValid());
    EXPECT_EQ(m.Width, 0);
    EXPECT_FALSE(c.IsValid());
    EXPECT_LT(MemoryBudget::InUse(), before); // the old blocks were given back
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"TMTC::Resize: caught an exception!\\n",
                                                    "TChannel::Resize: caught an exception!\\n"}));
    EXPECT_TRUE(m.Resize(100, 100));
}

TEST(Buffers, CopyConstructorsCopyPixels)
{
    TTC t(3, 2);
    t.FillAll(0x11223344);
    t.FillRect({1, 1, 1, 1}, 0xAABBCCDD);
    TTC copy(t);
    EXPECT_EQ(copy.GetPixel(1, 1), 0xAABBCCDDu);
    EXPECT_EQ(copy.GetPixel(0, 0), 0x11223344u);

    TMTC m(3, 2);
    ASSERT_TRUE(m.CopyAll(t)); // different row order in memory, same picture
    EXPECT_EQ(m.GetPixel(1, 1), 0xAABBCCDDu);
    EXPECT_FALSE(m.CopyAll(TMTC(2, 2)));

    TChannel c(2, 2);
    c.FillAll(9);
    EXPECT_EQ(TChannel(c).GetValue(1, 1), 9);
}
