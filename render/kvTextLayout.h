// Measuring and line breaking over a font's glyph metrics (256 entries,
// font units). Pure arithmetic, shared by the GL renderer and the tests'
// recording renderer, and fuzzed on a real font.
#pragma once

#include <string>

#include "math/vector2.h"
#include "render/kvGlyphMetrics.h"

namespace Korvell {

// Advance of the whole string, and its tallest black box.
vector2 measureGlyphs(const kvGlyphMetrics* metrics, const std::string& text);

// Index of the first character of the second line when the text does not
// fit in viewWidth - margin at the given scale; 0 when it fits. The break
// follows the last space before the first overflowing character (a space at
// index 0 does not count), else falls on that character itself; when that is
// the first character, the next overflowing character decides.
int findGlyphBreak(const kvGlyphMetrics* metrics, const std::string& text, float scale, float margin,
                   float viewWidth);

} // namespace Korvell
