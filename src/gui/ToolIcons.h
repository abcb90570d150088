#pragma once
// Icons of the tools: the Breeze theme's where it has a fitting glyph, ours
// (a resource in the same 22-pixel style) for the rest. A brush preset's
// own icon wins over both.
#include <QIcon>

namespace morvane {

class TMTC;

// Sets the theme once; the program and its tests call it before the first icon.
void UseToolIconTheme();
// An icon by the name the tool catalogue gives ("morvane-..." are ours);
// null when neither the theme nor the resource has it.
QIcon ToolIcon(const char* name);
// A preset's picture (a TMTC, top-down) as an icon.
QIcon PictureIcon(const TMTC& picture);

} // namespace morvane
