// compose_stack: builds a stack of layers from a short description and
// writes its opaque composite as a 24-bit BMP file, so that compositing can
// be looked at.
//
//   compose_stack description.txt out.bmp
//
// The description, one item per line ('#' starts a comment):
//   size W H                      the picture (default 256 x 256)
//   paper RRGGBB                  the paper under the stack (default white)
//   layer MODE OPACITY colour AARRGGBB X Y W H
//   layer MODE OPACITY gradient AARRGGBB AARRGGBB h|v X Y W H
// MODE is 0-21, OPACITY 0-255; the rectangle is in picture coordinates.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/Bmp.h"
#include "document/LayerComposite.h"
#include "document/SLayerParam.h"
#include "storage/SizeLimits.h"
#include "storage/TMTC.h"

namespace morvane {
namespace {

struct LayerLine {
    int mode = 0, opacity = 255;
    uint32_t from = 0, to = 0;
    bool gradient = false, vertical = false;
    ExtentRect rect;
};

struct Description {
    int32_t width = 256, height = 256;
    uint32_t paper = 0xFFFFFF;
    std::vector<LayerLine> layers;
};

bool ReadInt(std::istringstream& in, int64_t low, int64_t high, int32_t& out)
{
    std::string word;
    if (!(in >> word))
        return false;
    char* end = nullptr;
    const long long v = std::strtoll(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || v < low || v > high)
        return false;
    out = int32_t(v);
    return true;
}

bool ReadHex(std::istringstream& in, uint32_t& out)
{
    std::string word;
    if (!(in >> word) || word.empty() || word.size() > 8)
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(word.c_str(), &end, 16);
    if (*end != '\0')
        return false;
    out = uint32_t(v);
    return true;
}

bool ReadRect(std::istringstream& in, ExtentRect& r)
{
    constexpr int64_t kFar = kMaxPictureSide * 4;
    return ReadInt(in, -kFar, kFar, r.left) && ReadInt(in, -kFar, kFar, r.top) && ReadInt(in, 1, kFar, r.width) &&
           ReadInt(in, 1, kFar, r.height);
}

bool ParseLayer(std::istringstream& in, LayerLine& l)
{
    std::string kind;
    if (!ReadInt(in, 0, kModeCount - 1, l.mode) || !ReadInt(in, 0, 255, l.opacity) || !(in >> kind))
        return false;
    if (kind == "colour")
        return ReadHex(in, l.from) && ReadRect(in, l.rect);
    std::string direction;
    l.gradient = true;
    if (kind != "gradient" || !ReadHex(in, l.from) || !ReadHex(in, l.to) || !(in >> direction))
        return false;
    l.vertical = direction == "v";
    return (direction == "h" || l.vertical) && ReadRect(in, l.rect);
}

bool Parse(std::istream& file, Description& d, std::string& error)
{
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (const size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        std::istringstream in(line);
        std::string word;
        if (!(in >> word))
            continue;
        bool ok = false;
        if (word == "size")
            ok = ReadInt(in, 1, kMaxPictureSide, d.width) && ReadInt(in, 1, kMaxPictureSide, d.height);
        else if (word == "paper")
            ok = ReadHex(in, d.paper);
        else if (word == "layer" && d.layers.size() < size_t(CLayerMngr::kMaxLayers))
            ok = ParseLayer(in, d.layers.emplace_back());
        std::string rest;
        if (!ok || (in >> rest)) {
            error = "line " + std::to_string(number) + ": cannot read \"" + line + "\"";
            return false;
        }
    }
    return true;
}

uint32_t Mix(uint32_t a, uint32_t b, int64_t i, int64_t n)
{
    uint32_t r = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int64_t x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
        r |= uint32_t(x + (y - x) * i / std::max<int64_t>(n - 1, 1)) << shift;
    }
    return r;
}

// Paints the layer's fill into its rectangle, clipped to the picture.
bool Paint(CLayerData& layer, const LayerLine& l)
{
    EdgeRect r;
    if (!ClipToBuffer(l.rect, layer.Store->Width, layer.Store->Height, r))
        return true;
    if (!l.gradient)
        return layer.Store->FillRect(ToExtent(r), l.from);
    TMTC patch(r.right - r.left, r.bottom - r.top);
    if (!patch.IsValid())
        return false;
    for (int32_t y = 0; y < patch.Height; ++y)
        for (int32_t x = 0; x < patch.Width; ++x) {
            const int64_t i = l.vertical ? r.top + y - l.rect.top : r.left + x - l.rect.left;
            patch.Row(y)[x] = Mix(l.from, l.to, i, l.vertical ? l.rect.height : l.rect.width);
        }
    return layer.Store->CopyIn(patch, {r.left, r.top}, 255, {0, 0, patch.Width, patch.Height});
}

int Run(const char* input, const char* output)
{
    std::ifstream file(input);
    Description d;
    std::string error;
    if (!file) {
        std::fprintf(stderr, "compose_stack: cannot open %s\n", input);
        return 2;
    }
    if (!Parse(file, d, error)) {
        std::fprintf(stderr, "compose_stack: %s: %s\n", input, error.c_str());
        return 2;
    }
    CLayerMngr stack;
    stack.PictureW = d.width;
    stack.PictureH = d.height;
    for (const LayerLine& l : d.layers) {
        const int32_t i = stack.AddLayer(stack.Count(), d.width, true, uint8_t(l.opacity), l.mode, d.height);
        if (i < 0 || !Paint(*stack.At(i), l)) {
            std::fprintf(stderr, "compose_stack: out of memory\n");
            return 1;
        }
    }
    TMTC composite(d.width, d.height);
    if (!composite.IsValid()) {
        std::fprintf(stderr, "compose_stack: out of memory\n");
        return 1;
    }
    composite.FillAll(d.paper | 0xFF000000u);
    CompositeStack(stack, composite, {0, 0, d.width, d.height});
    if (!SaveBmp24(composite, output, 96)) {
        std::fprintf(stderr, "compose_stack: cannot write %s\n", output);
        return 1;
    }
    return 0;
}

} // namespace
} // namespace morvane

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: compose_stack description.txt out.bmp\n");
        return 2;
    }
    return morvane::Run(argv[1], argv[2]);
}
