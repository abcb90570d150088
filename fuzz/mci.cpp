// Document files read from memory: any input loads without a crash or a
// huge allocation, and a document that loaded saves, loads again and saves
// to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "document/DocumentHost.h"
#include "document/PaperFile.h"
#include "document/TPaper.h"
#include "files/ByteStream.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"

using namespace morvane;

namespace {

// Messages are many and of no interest here.
class QuietNotifier final : public UserNotifier {
public:
    void Warn(const std::string&) override {}
    Answer Ask(const std::string&, Buttons buttons) override { return DefaultAnswer(buttons); }
    void Inform(const std::string&) override {}
};

std::vector<uint8_t> Saved(TPaper& paper)
{
    MemoryWriter out;
    if (SaveDocumentFile(out, paper) != DocFileCode::Ok)
        return {};
    return out.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QuietNotifier quiet;
    SetNotifier(&quiet);
    // Stores of the largest sides are allowed; their pixels must come
    // through the budget.
    ScopedMemoryLimit limit(uint64_t(512) << 20);
    SilentDocumentHost host;
    TPaper paper(host);
    MemoryReader in({data, size});
    if (LoadDocumentFile(in, paper, "fuzz.mci") != DocFileCode::Ok)
        return 0;
    const std::vector<uint8_t> first = Saved(paper);
    if (first.empty())
        return 0; // out of memory on the way
    TPaper again(host);
    MemoryReader back(first);
    if (LoadDocumentFile(back, again, "fuzz.mci") != DocFileCode::Ok || Saved(again) != first)
        std::abort();
    return 0;
}
