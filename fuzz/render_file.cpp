// The render mode on an event file, as a hostile caller hands it over:
// whatever the bytes, the render ends with one of its codes (8 to 12)
// within the memory it is given, and gives back all it took.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/RenderMode.h"
#include "platform/DiagnosticSink.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"

using namespace morvane;

namespace {

constexpr uint64_t kBudget = uint64_t(512) << 20;

// Where the file goes and the render writes; removed at exit.
const std::string& Folder()
{
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "morvane-fuzz-XXXXXX").string();
        return ::mkdtemp(pattern.data()) ? pattern : std::string();
    }();
    // Registered once the name is made, so it runs before the name goes.
    [[maybe_unused]] static const bool cleanup = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
    }) == 0;
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (Folder().empty())
        std::abort();
    const std::string path = Folder() + "/in.vd4";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
        if (!out.good())
            std::abort();
    }
    CapturingDiagnosticSink sink;
    ScopedDiagnostics quiet(sink);
    RecordingNotifier notifier;
    UserNotifier* previous = SetNotifier(&notifier);
    const uint64_t limit = MemoryBudget::Limit(), before = MemoryBudget::InUse();
    MemoryBudget::SetLimit(before + kBudget);
    const int code = RenderEventFile(path, Folder());
    MemoryBudget::SetLimit(limit);
    SetNotifier(previous);
    if (code < 8 || code > 12 || MemoryBudget::InUse() != before)
        std::abort();
    return 0;
}
