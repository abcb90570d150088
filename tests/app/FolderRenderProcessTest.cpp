// A folder of recordings rendered by child processes: one line per event
// file, the markers of each, and the largest code as exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "app/FolderRender.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

void SaveRecording(const std::string& path, bool locked)
{
    SilentDocumentHost host;
    TPaper paper(host);
    ASSERT_TRUE(paper.NewPicture("r", false, false, 72, 40, 30, 40, 30));
    ASSERT_TRUE(paper.SetPaperColour(0x00FF8040u));
    ASSERT_EQ(locked ? SaveProtectedEventFile(path, paper, {}) : SaveEventFile(path, paper, {}), EventFileCode::Ok);
}

std::vector<std::string> SortedLines(const std::string& file)
{
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

TEST(FolderRenderProcess, EveryEventFileGetsALineItsMarkersAndTheLargestCodeIsTheStatus)
{
    const support::TempFolder folder;
    const std::string in = folder / "in", out = folder / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    fs::create_directories(in + "/folder.vd4"); // not a regular file: not taken
    SaveRecording(in + "/a.vd4", false);
    SaveRecording(in + "/b.vd4", false);
    SaveRecording(in + "/locked.vd4", true);
    std::ofstream(in + "/junk.vd4") << "not a recording";
    std::ofstream(in + "/notes.txt") << "not an event file";
    EXPECT_EQ(EventFilesIn(in), (std::vector<std::string>{in + "/a.vd4", in + "/b.vd4", in + "/junk.vd4",
                                                          in + "/locked.vd4"}));

    const std::string lines = folder / "lines.txt";
    EXPECT_EQ(RunProgram({"-render", "-O", out, "-j", "2", in}, lines), 11);
    EXPECT_EQ(SortedLines(lines), (std::vector<std::string>{in + "/a.vd4 -> 8", in + "/b.vd4 -> 8",
                                                            in + "/junk.vd4 -> 10", in + "/locked.vd4 -> 11"}));
    for (const char* made : {"a.bmp", "b.bmp", "a.vd4", "junk.bad", "locked.prt"})
        EXPECT_TRUE(fs::exists(out + "/" + made)) << made;

    // All good: 8, whatever -j says (clamped).
    fs::remove(in + "/junk.vd4");
    fs::remove(in + "/locked.vd4");
    for (const char* jobs : {"1", "0", "999"}) {
        EXPECT_EQ(RunProgram({"-render", "-O" + out, "-j", jobs, in}, lines), 8) << jobs;
        EXPECT_EQ(SortedLines(lines).size(), 2u) << jobs;
    }
    // Nothing to render is a failure, not success.
    const std::string empty = folder / "empty";
    fs::create_directories(empty);
    EXPECT_EQ(RunProgram({"-render", "-O", out, empty}, lines), 10);
}

} // namespace morvane
