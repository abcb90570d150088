// The golden corpus: recordings made by the program (every operation that
// records, strokes of every engine, undo and redo inside the stream, a
// protected copy) and the demo recording render to the pictures whose
// checksums tests/data/golden/checksums.txt keeps. A change that alters the
// pixels of a stroke kind on purpose is one edited line there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RenderFixture.h"
#include "support/Checksum.h"
#include "app/RenderMode.h"

namespace morvane {
namespace {

using namespace testing_render;

struct GoldenEntry {
    std::string file; // relative to the test data folder
    int code = 0;     // the render's result code
    std::string checksum;
};

std::string DataFolder() { return std::getenv("MORVANE_TEST_DATA") ? std::getenv("MORVANE_TEST_DATA") : ""; }

// Lines of "file code checksum"; '#' starts a comment.
std::vector<GoldenEntry> ReadTable()
{
    std::ifstream in(DataFolder() + "/golden/checksums.txt");
    std::vector<GoldenEntry> entries;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        GoldenEntry e;
        if (fields >> e.file >> e.code >> e.checksum)
            entries.push_back(e);
    }
    return entries;
}

// FNV-1a 64 of a file's bytes, in hexadecimal.
std::string Checksum(const Bytes& bytes)
{
    const uint64_t h = support::Fnv(bytes.data(), bytes.size());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string StemOf(const std::string& file) { return fs::path(file).stem().string(); }

TEST(GoldenCorpus, EveryRecordingRendersToItsCommittedPicture)
{
    const std::vector<GoldenEntry> table = ReadTable();
    ASSERT_GE(table.size(), 9u) << "tests/data/golden/checksums.txt is missing or short";
    for (const GoldenEntry& e : table) {
        TempFolder out;
        const int code = RenderEventFile(DataFolder() + "/" + e.file, out.Path());
        EXPECT_EQ(code, e.code) << e.file;
        const std::string actual = code == 8 ? Checksum(ReadBytes(out / (StemOf(e.file) + ".bmp"))) : "-";
        EXPECT_EQ(actual, e.checksum) << "rendered: " << e.file << " " << code << " " << actual;
    }
}

#ifdef MORVANE_GOLDEN_TOOL
TEST(GoldenCorpus, TheProgramThatMadeItWritesTheSameBytesAgain)
{
    TempFolder out;
    ASSERT_EQ(std::system((std::string(MORVANE_GOLDEN_TOOL) + " " + out.Path()).c_str()), 0);
    int compared = 0;
    for (const auto& file : fs::directory_iterator(out.Path())) {
        const std::string name = file.path().filename().string();
        EXPECT_EQ(ReadBytes(file.path().string()), ReadBytes(DataFolder() + "/golden/" + name)) << name;
        ++compared;
    }
    EXPECT_GE(compared, 8);
}
#endif

} // namespace
} // namespace morvane
