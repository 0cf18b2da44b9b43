// Shaping, measuring and line breaking with a real font and its fallbacks.
// The first eight bytes choose the scale and margin, the rest is the text.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "render/kvFont.h"
#include "render/kvTextLayout.h"
#include "text/kvText.h"

using namespace Korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static kvFont* font = [] {
        kvFont* f = new kvFont();
        f->load("Liberation Sans", false, false);
        return f;
    }();
    if (size < 8) return 0;
    float scale, margin;
    std::memcpy(&scale, data, 4);
    std::memcpy(&margin, data + 4, 4);
    const std::string text = validUtf8(std::string(reinterpret_cast<const char*>(data + 8), size - 8));
    const kvFont::Line& line = font->shape(text);
    if (!(line.width >= 0.0f) || !(line.height >= 0.0f)) __builtin_trap();
    size_t previous = 0;
    for (const kvCluster& c : line.clusters) {
        if (c.byte < previous || c.byte >= text.size() + (text.empty() ? 1 : 0)) __builtin_trap();
        previous = c.byte;
    }
    const int pos = findClusterBreak(line.clusters, scale, margin, 800.0f);
    if (pos < 0 || static_cast<size_t>(pos) > text.size()) __builtin_trap();
    return 0;
}
