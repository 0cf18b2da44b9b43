// Shelf packing into a GL_ALPHA texture.
#include "render/kvGlyphAtlas.h"

#include <algorithm>
#include <vector>

#include "render/kvFont.h"

namespace Korvell {

namespace {
// Glyph indexes are 16-bit in every font format FreeType reads; sizes are
// held below kMaxEm by the caller.
uint64_t keyOf(int face, uint32_t id, int w, int h, int quarter)
{
    return (static_cast<uint64_t>(face & 0xFFFF) << 38) | (static_cast<uint64_t>(id & 0xFFFF) << 22)
           | (static_cast<uint64_t>(w & 0x3FF) << 12) | (static_cast<uint64_t>(h & 0x3FF) << 2)
           | static_cast<uint64_t>(quarter & 3);
}
} // namespace

kvGlyphAtlas::~kvGlyphAtlas()
{
    if (name) glDeleteTextures(1, &name);
}

bool kvGlyphAtlas::make()
{
    if (name) return true;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // Drawn texel for pixel: nearest is exact.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    std::vector<uint8_t> empty(static_cast<size_t>(kSide) * kSide, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, kSide, kSide, 0, GL_ALPHA, GL_UNSIGNED_BYTE, empty.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return name != 0;
}

void kvGlyphAtlas::clear()
{
    ++generation;
    entries.clear();
    shelfX = shelfY = shelfHeight = 0;
}

const kvGlyphAtlas::Entry* kvGlyphAtlas::glyph(kvFont& font, int face, uint32_t id, int emWidth, int emHeight,
                                               int quarter)
{
    const uint64_t key = keyOf(face, id, emWidth, emHeight, quarter);
    auto it = entries.find(key);
    if (it != entries.end()) return it->second.width > 0 ? &it->second : nullptr;
    if (!make()) return nullptr;
    kvFont::Bitmap b;
    Entry e = {0, 0, 0, 0, 0, 0, 0, 0};
    if (!font.rasterise(face, id, emWidth, emHeight, quarter, b) || b.width <= 0 || b.height <= 0
        || b.width + 2 > kSide || b.height + 2 > kSide) {
        entries[key] = e; // nothing to draw: remembered as such
        return nullptr;
    }
    // A texel of space around each glyph, so neighbours never bleed in.
    if (shelfX + b.width + 2 > kSide) {
        shelfX = 0;
        shelfY += shelfHeight;
        shelfHeight = 0;
    }
    if (shelfY + b.height + 2 > kSide) {
        clear();
        return glyph(font, face, id, emWidth, emHeight, quarter);
    }
    const int x = shelfX + 1, y = shelfY + 1;
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, b.width, b.height, GL_ALPHA, GL_UNSIGNED_BYTE, b.coverage.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    shelfX += b.width + 2;
    shelfHeight = std::max(shelfHeight, b.height + 2);
    const float s = 1.0f / kSide;
    e = {x * s, y * s, (x + b.width) * s, (y + b.height) * s, b.width, b.height, b.left, b.top};
    return &(entries[key] = e);
}

} // namespace Korvell
