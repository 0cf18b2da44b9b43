// Glyph outlines of a system font for the 8-bit codes of Windows-1250, in
// font units with the em square 1.0: what the GL text code turns into one
// display list per code. The face is found by fontconfig (name, weight,
// slant, Polish coverage); a name the system lacks gets the best match.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "render/kvGlyphMetrics.h"

namespace Korvell {

struct kvOutlinePoint {
    double x;
    double y;
};

struct kvOutlineGlyph {
    kvGlyphMetrics metrics;
    std::vector<std::vector<kvOutlinePoint>> contours; // closed, flattened
};

class kvOutlineFont {
public:
    // Codes 0 to 254 are filled; 255 stays an empty glyph of zero size.
    static const int GLYPH_COUNT = 256;


    bool load(const std::string& face, bool bold, bool italic);
    const kvOutlineGlyph& glyph(int code) const { return glyphs[static_cast<size_t>(code)]; }
    const std::string& getFile() const { return file; }

    // The font file fontconfig chooses for the request, or "" when none.
    static std::string findFontFile(const std::string& face, bool bold, bool italic, int* index,
                                    bool* hasBold, bool* hasItalic);
    // The family fontconfig draws for the request (the face itself when it
    // is installed), or "" when there is none.
    static std::string drawnFamily(const std::string& face, bool bold, bool italic);

private:
    std::array<kvOutlineGlyph, GLYPH_COUNT> glyphs;
    std::string file;
};

} // namespace Korvell
