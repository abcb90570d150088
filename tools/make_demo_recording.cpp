// Writes the demo recording (data/demo.vd4): painted through the document's
// operations with a fixed clock, so running it again gives the same bytes.
//   make_demo_recording data/demo.vd4
#include <cstdio>

#include "app/DemoRecording.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_recording FILE.vd4\n");
        return 2;
    }
    if (const int code = morvane::WriteDemoRecording(argv[1])) {
        std::fprintf(stderr, "make_demo_recording: cannot write %s (code %d)\n", argv[1], code);
        return 1;
    }
    return 0;
}
