// Writes the default nib and brush presets (data/preset/default.psh and
// default.pmt), made in code, so running it again gives the same bytes.
//   make_presets data/preset
#include <cstdio>

#include "app/DefaultPresets.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_presets FOLDER\n");
        return 2;
    }
    if (const int code = morvane::WriteDefaultPresets(argv[1])) {
        std::fprintf(stderr, "make_presets: cannot write the presets into %s (code %d)\n", argv[1], code);
        return 1;
    }
    return 0;
}
