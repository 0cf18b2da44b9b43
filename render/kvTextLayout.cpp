// Text measuring and line breaking.
#include "render/kvTextLayout.h"

namespace Korvell {

vector2 measureGlyphs(const kvGlyphMetrics* m, const std::string& text)
{
    vector2 size(0.0f, 0.0f);
    for (unsigned char c : text) {
        size.x += m[c].cellIncX;
        if (m[c].blackBoxY > size.y) size.y = m[c].blackBoxY;
    }
    return size;
}

int findGlyphBreak(const kvGlyphMetrics* m, const std::string& text, float scale, float margin, float viewWidth)
{
    float width = 0.0f;
    int lastSpace = 0;
    int position = 0;
    for (size_t i = 0; i < text.size() && position == 0; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ' ') lastSpace = static_cast<int>(i);
        width += m[c].cellIncX;
        // The first overflow sets the break; one at the very first
        // character leaves it at 0, so the next overflowing character (or a
        // later space) takes it instead.
        if (width * scale > viewWidth - margin) position = lastSpace != 0 ? lastSpace + 1 : static_cast<int>(i);
    }
    return position;
}

} // namespace Korvell
