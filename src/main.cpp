// The morvane program. Headless jobs run before any GUI object exists, so
// they work on a machine with no display.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/DemoPicture.h"

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "-demo") == 0)
        return morvane::WriteDemoPicture(argv[2]) ? 0 : 1;

    std::fprintf(stderr,
                 "usage: morvane -demo FILE.bmp\n"
                 "The desktop program and the render mode are not built yet.\n");
    return 2;
}
