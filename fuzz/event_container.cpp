// Event containers: a failed read leaves the reader where it began and the
// store empty; what is read has exactly the header's length and, when it is
// a stream that walks, comes back the same from both writers.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "events/CMemSeg.h"
#include "files/ByteStream.h"
#include "files/EventContainer.h"

using namespace morvane;

namespace {

std::vector<uint8_t> Contents(const CSegmentedStore& store)
{
    std::vector<uint8_t> bytes(size_t(store.Position()));
    if (!bytes.empty() && store.Read(0, bytes.data(), int64_t(bytes.size())) != store.Position())
        std::abort();
    return bytes;
}

void CheckRewrite(const CSegmentedStore& store, const EventContainerInfo& info, bool packed)
{
    MemoryWriter out;
    const EventFileCode code = packed ? WriteContainer(out, store, info) : WritePlain(out, store, info);
    if (code == EventFileCode::EmptyStream || code == EventFileCode::InvalidPacket)
        return;
    if (code != EventFileCode::Ok)
        std::abort();
    MemoryReader in(out.Bytes());
    CSegmentedStore back;
    StoreSink sink(back);
    EventContainerInfo backInfo;
    if (ReadContainer(in, sink, backInfo) != EventFileCode::Ok || in.Remaining() != 0 || Contents(back) != Contents(store) ||
        backInfo.steps != info.steps || backInfo.generation != info.generation)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryReader in({data, size});
    CSegmentedStore store;
    StoreSink sink(store);
    EventContainerInfo info;
    if (ReadContainer(in, sink, info) != EventFileCode::Ok) {
        if (in.Position() != 0 || store.Position() != 0)
            std::abort();
        return 0;
    }
    if (uint64_t(store.Position()) != info.length || in.Position() > size)
        std::abort();
    CheckRewrite(store, info, true);
    CheckRewrite(store, info, false);
    return 0;
}
