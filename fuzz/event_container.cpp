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
    const int code = packed ? WriteContainer(out, store, info) : WritePlain(out, store, info);
    if (code == 42 || code == 47) // an empty stream or one that does not walk
        return;
    if (code != 0)
        std::abort();
    MemoryReader in(out.Bytes());
    CSegmentedStore back;
    StoreSink sink(back);
    EventContainerInfo backInfo;
    if (ReadContainer(in, sink, backInfo) != 0 || in.Remaining() != 0 || Contents(back) != Contents(store) ||
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
    if (ReadContainer(in, sink, info) != 0) {
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
