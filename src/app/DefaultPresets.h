#pragma once
// The nib and brush presets the program ships in data/preset, made in code
// so that running the maker again writes the same bytes: the seven round
// nibs of the built-in list with names, a few bitmap nibs drawn from a
// seeded generator, and a brush of every current kind with its stroke
// method's first-use pressure switches, plus brushes of the bitmap nibs.
#include <string>

namespace morvane {

class CPenMethodMngr;
class CPenShapeMngr;

// Both lists replaced; false when memory ran out.
bool MakeDefaultNibs(CPenShapeMngr& nibs);
bool MakeDefaultBrushes(CPenMethodMngr& brushes, const CPenShapeMngr& nibs);

// Writes default.psh and default.pmt into folder: 0, -1 when the lists
// could not be made, or the first writer's code.
int WriteDefaultPresets(const std::string& folder);

} // namespace morvane
