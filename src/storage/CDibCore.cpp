#include "storage/CDibCore.h"

#include "platform/DiagnosticSink.h"
#include "platform/MemoryBudget.h"

namespace morvane {

CDibCore::~CDibCore() { CDibCore::Release(); }

void CDibCore::Init()
{
    Width = Height = 0;
    Bits = nullptr;
    RowOffsets = nullptr;
    bitsBytes_ = offsetsCount_ = 0;
}

void CDibCore::Release()
{
    FreeBlock(Bits, static_cast<uint64_t>(bitsBytes_));
    FreeBlock(RowOffsets, static_cast<uint64_t>(offsetsCount_) * sizeof(int64_t));
    Init();
}

bool CDibCore::SizeIsSane(int32_t width, int32_t height, int bytesPerPixel)
{
    if (width < 0 || height < 0)
        return false;
    // 2^31 * 2^31 * 4 would not fit; nothing near that can be allocated anyway.
    uint64_t bytes = uint64_t(width) * uint64_t(height) * uint64_t(bytesPerPixel);
    return bytes <= (uint64_t(1) << 40);
}

bool CDibCore::Allocate(int32_t width, int32_t height, int64_t bitsBytes, const char* failureLine)
{
    if (bitsBytes >= 0) {
        FreeBlock(Bits, static_cast<uint64_t>(bitsBytes_));
        Bits = nullptr;
        bitsBytes_ = 0;
    }
    FreeBlock(RowOffsets, static_cast<uint64_t>(offsetsCount_) * sizeof(int64_t));
    RowOffsets = nullptr;
    offsetsCount_ = 0;

    bool ok = SizeIsSane(width, height, BytesPerPixel());
    if (ok) {
        RowOffsets = static_cast<int64_t*>(AllocBlock(uint64_t(height) * sizeof(int64_t)));
        ok = RowOffsets != nullptr;
        if (ok)
            offsetsCount_ = height;
    }
    if (ok && bitsBytes >= 0) {
        Bits = static_cast<uint8_t*>(AllocBlock(static_cast<uint64_t>(bitsBytes)));
        ok = Bits != nullptr;
        if (ok)
            bitsBytes_ = bitsBytes;
    }
    if (!ok) {
        Release();
        Diagnose(failureLine);
        return false;
    }
    Width = width;
    Height = height;
    return true;
}

void CDibCore::FillRowOffsets(bool topDown)
{
    const int64_t stride = int64_t(Width) * BytesPerPixel();
    for (int32_t y = 0; y < Height; ++y)
        RowOffsets[y] = stride * (topDown ? y : Height - 1 - y);
}

bool IsValidBuffer(const CDibCore* buffer) { return buffer != nullptr && buffer->IsValid(); }

} // namespace morvane
