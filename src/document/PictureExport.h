#pragma once
// A document written as an image file other programs read. An export
// loses the layers, as in other painting programs: the composite is
// written, over the paper; on a transparent paper a PNG keeps the alpha,
// while BMP and JPEG are flattened over white.
#include <cstdint>
#include <ctime>
#include <string>

#include "files/ImageExport.h"

namespace morvane {

class TMTC;
class TPaper;

// The composite as the export writes it: opaque over the paper, or with
// its alpha when keepAlpha and the paper is transparent. False without a
// picture or memory.
bool FlattenForExport(const TPaper& paper, bool keepAlpha, TMTC& out);
// The picture as path's format (.bmp, the JPEG group, .png).
WriteCode ExportPicture(const TPaper& paper, const std::string& path, const JpegOptions& jpeg = {});
// The layer's picture area (outside its store: transparent): a PNG with
// the layer's alpha, a BMP over white.
WriteCode ExportLayer(TPaper& paper, int32_t index, const std::string& path);
// "YYYYMMDD_NNN.bmp" in folder (ending in '/' or empty): the first number
// from 1 whose file does not exist yet; empty when all 999 are taken.
std::string DatedBmpPath(const std::string& folder, const std::tm& date);

} // namespace morvane
