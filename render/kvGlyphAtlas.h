// The glyphs subtitles are drawn with, rasterised once at the size they
// appear and kept in one alpha texture, packed in shelves. A glyph is
// looked up by its face, its index, its pixel size and its quarter-pixel
// shift; a full atlas starts again empty (the lines on the screen then
// rasterise anew). Must be used with the GL context current.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <unordered_map>

namespace Korvell {

class kvFont;

class kvGlyphAtlas {
public:
    static constexpr int kSide = 1024;
    // The largest em, in pixels, a glyph is rasterised at.
    static constexpr int kMaxEm = 1000;

    struct Entry {
        float u0, v0, u1, v1;   // in the atlas
        int width, height;      // pixels
        int left, top;          // from the pen, y up
    };
    ~kvGlyphAtlas();

    // The entry, rasterising the glyph when it is new; null when it has no
    // pixels (a space) or cannot be drawn.
    const Entry* glyph(kvFont& font, int face, uint32_t id, int emWidth, int emHeight, int quarter);
    GLuint texture() const { return name; }
    // Forgets every glyph (a full atlas, or a font gone); each time it does,
    // the generation changes, and entries handed out before are stale.
    void clear();
    unsigned getGeneration() const { return generation; }

private:
    bool make();
    GLuint name = 0;
    int shelfX = 0, shelfY = 0, shelfHeight = 0;
    unsigned generation = 0;
    std::unordered_map<uint64_t, Entry> entries;
};

} // namespace Korvell
