#pragma once
// How a render or viewer run tells its caller how it went: the result code
// as exit status, as one line on an inherited descriptor (-W<n>), and for
// the failures an empty marker file next to the outputs.
#include <string>

namespace morvane {

enum RenderCode : int {
    kRenderDone = 8,
    kRenderWriteFailed = 9,
    kRenderCannotOpen = 10,
    kRenderProtected = 11,
    kRenderImagesRefused = 12,
    kViewerDone = 13,
};

// A failed start of the player: protected stream 11, pasted images without
// permission 12, anything else 10.
RenderCode RenderCodeOfOpenResult(int openResult);
// The end of a viewer run's replay (a report's result: 0 finished, 1
// interrupted, 2 stopped by an error, 3 stopped): 13 only when it played to
// its end mark; a replay that did not is a file that could not be played, 10.
RenderCode ViewerCodeOfReplay(int reportResult);
// ".bad", ".prt" or ".him" for codes 10-12, else nullptr.
const char* MarkerExtension(int code);

// The folder the outputs go to: the one given, else the event file's.
std::string OutputFolderFor(const std::string& eventFile, const std::string& outputFolder);
// folder/<event file name without its extension><extension>.
std::string OutputPathFor(const std::string& folder, const std::string& eventFile, const std::string& extension);

class RenderReporter {
public:
    // notifyFd < 0: no descriptor to tell.
    RenderReporter(std::string eventFile, std::string outputFolder, int notifyFd);
    // Writes the code's marker (at most one per run), sends "<code>\n" to the
    // descriptor when it is open and returns the code.
    int Report(int code);

private:
    void WriteMarker(const char* extension);
    void SendCode(int code) const;

    std::string eventFile_;
    std::string folder_;
    int notifyFd_;
    bool markerWritten_ = false;
};

} // namespace morvane
