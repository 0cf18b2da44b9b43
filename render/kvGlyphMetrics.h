// Per-glyph metrics of an outline font, in font units (em square 1.0), the
// shape of the Windows GLYPHMETRICSFLOAT record. 256 per font; code 255 is
// an empty glyph of zero size.
#pragma once

namespace Korvell {

struct kvGlyphMetrics {
    float blackBoxX = 0.0f;
    float blackBoxY = 0.0f;
    float originX = 0.0f;
    float originY = 0.0f;
    float cellIncX = 0.0f;
    float cellIncY = 0.0f;
};

} // namespace Korvell
