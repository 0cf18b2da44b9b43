// A subtitle font: the face fontconfig chooses for a family, weight and
// slant, and the faces it picks for the characters that face lacks
// (Greek, Cyrillic, CJK, Arabic, Hebrew, Devanagari...), all at one size on
// one baseline. A line is shaped with HarfBuzz (ligatures, joining,
// reordering, kerning) in runs of one face and one direction, the runs
// ordered by FriBidi; glyphs are rasterised by FreeType at the size they
// appear. Positions are in font units: the em square is 1.0, y up.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "render/kvTextLayout.h"

typedef struct _FcFontSet FcFontSet;
typedef struct _FcPattern FcPattern;

namespace Korvell {

class kvFont {
public:
    kvFont();
    ~kvFont();

    // False when fontconfig finds no face at all.
    bool load(const std::string& family, bool bold, bool italic);

    struct Glyph {
        int face;      // a face id, unique among all fonts
        uint32_t id;   // the glyph in that face
        float x, y;    // its origin, from the line's start
    };
    struct Line {
        std::string text;
        std::vector<Glyph> glyphs; // left to right as drawn
        std::vector<kvCluster> clusters; // in logical order, for breaking
        float width = 0.0f;
        float height = 0.0f; // the tallest glyph's box
    };
    // The line shaped (kept for the next frames that ask for it).
    const Line& shape(const std::string& text);

    // A glyph's coverage at a size in pixels (the em's width and height)
    // and a horizontal shift in quarter pixels; false for a face it lacks.
    struct Bitmap {
        int width = 0, height = 0, left = 0, top = 0;
        std::vector<uint8_t> coverage; // width x height, rows top first
    };
    bool rasterise(int face, uint32_t glyph, int emWidth, int emHeight, int quarter, Bitmap& out);

    // The family fontconfig draws for a request (the family itself when it
    // is installed), or "" when there is none.
    static std::string drawnFamily(const std::string& family, bool bold, bool italic);
    // The file fontconfig chooses for a family, or "" when none.
    static std::string findFontFile(const std::string& family);
    // The first code point of a text that no installed font draws, or 0.
    static uint32_t undrawable(const std::string& text);
    // The file of the chosen face (tests).
    const std::string& getFile() const;

private:
    kvFont(const kvFont&) = delete;
    kvFont& operator=(const kvFont&) = delete;
    struct Face;
    int faceFor(uint32_t codePoint);
    int openFace(FcPattern* pattern);
    Face* faceById(int id);

    std::vector<std::unique_ptr<Face>> faces; // faces[0] is the chosen one
    FcFontSet* fallbacks = nullptr;
    bool bold = false, italic = false;
    std::deque<Line> lines; // the lines shaped last, newest first
};

} // namespace Korvell
