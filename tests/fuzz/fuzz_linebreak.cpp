// Measuring and line breaking with a real font's metrics. The first eight
// bytes choose the scale and margin, the rest is the text.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "render/kvOutlineFont.h"
#include "render/kvTextLayout.h"

using namespace Korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static kvGlyphMetrics metrics[256];
    static bool loaded = [] {
        kvOutlineFont font;
        font.load("Liberation Sans", false, false);
        for (int c = 0; c < 256; ++c) metrics[c] = font.glyph(c).metrics;
        return true;
    }();
    (void)loaded;
    if (size < 8) return 0;
    float scale, margin;
    std::memcpy(&scale, data, 4);
    std::memcpy(&margin, data + 4, 4);
    std::string text(reinterpret_cast<const char*>(data + 8), size - 8);
    vector2 s = measureGlyphs(metrics, text);
    if (s.x < 0.0f || s.y < 0.0f) __builtin_trap();
    int pos = findGlyphBreak(metrics, text, scale, margin, 800.0f);
    if (pos < 0 || static_cast<size_t>(pos) > text.size()) __builtin_trap();
    return 0;
}
