// Subtitle text on a real GL context: lines of many scripts leave ink
// where their shaped layout says, Arabic reads right to left, a Polish
// line keeps the places its letters always had, holes stay open, and
// measuring and breaking use the shaped widths.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <GL/gl.h>

#include <cmath>

#include "render/kvFont.h"
#include "support/kvTestSupport.h"
#include "text/kvText.h"

using namespace Korvell;

namespace {

// The text's em in pixels (a 160 x 80 canvas over a 160 x 80 view).
const float kEm = 30.0f;
const int kBaseline = 50;
const int kLeft = 4;

class TextGL : public GLTest {
protected:
    int clientWidth() const override { return 160; }
    int clientHeight() const override { return 80; }
    // One line drawn white on black at (kLeft, kBaseline); the canvas.
    std::vector<uint8_t> draw(kvFontIndex f, const std::string& text)
    {
        renderer->setViewSize(160, 80);
        beginFrame();
        renderer->bindTexture(kvTextureIndex());
        renderer->setColorRGBA(vector4(1, 1, 1, 1));
        renderer->pushMatrix();
        renderer->translate(vector2(kLeft, kBaseline));
        renderer->scale(vector2(kEm, kEm));
        renderer->drawText(f, text);
        renderer->popMatrix();
        return readAll();
    }
    static int lit(const std::vector<uint8_t>& px, int x0, int x1, int y0, int y1)
    {
        int n = 0;
        for (int y = std::max(0, y0); y <= std::min(79, y1); ++y)
            for (int x = std::max(0, x0); x <= std::min(159, x1); ++x) n += px[(static_cast<size_t>(y) * 160 + x) * 3] > 100;
        return n;
    }
};

// Whether the row has text, then background, then text again: a closed
// counter such as the inside of "o".
bool rowHasAHole(const std::vector<uint8_t>& px, int y, int x0, int x1)
{
    int state = 0;
    for (int x = x0; x <= x1; ++x) {
        const bool text = px[static_cast<size_t>((y * 160 + x) * 3)] > 200;
        if (state == 0 && text) state = 1;
        else if (state == 1 && !text) state = 2;
        else if (state == 2 && text) return true;
    }
    return false;
}

} // namespace

// Every script: ink inside the shaped line's box and none beyond it; a
// character the chosen face lacks drawn from another face.
TEST_F(TextGL, EveryScriptLeavesInkWhereItsLayoutSays)
{
    const kvFontIndex f = renderer->createFont("Liberation Sans", false, false);
    const char* const lines[] = {
        "Grüße aus München",     "Café à la plage",       "It’s 20°C…",
        "Καλημέρα",              "Привет, мир",           "你好世界",
        "مرحبا بالعالم",         "שלום עולם",             "नमस्ते दुनिया",
        "Zażółć gęślą jaźń",
    };
    kvFont font;
    ASSERT_TRUE(font.load("Liberation Sans", false, false));
    for (const char* text : lines) {
        const kvFont::Line& line = font.shape(text);
        vector2 size;
        ASSERT_TRUE(renderer->measureText(f, text, &size)) << text;
        EXPECT_FLOAT_EQ(size.x, line.width) << text;
        ASSERT_GT(line.width, 0.5f) << text;
        const std::vector<uint8_t> px = draw(f, text);
        const int right = kLeft + static_cast<int>(std::ceil(line.width * kEm));
        EXPECT_GT(lit(px, kLeft, right, 0, 79), 40) << text << ": no ink in its box";
        EXPECT_EQ(lit(px, right + 3, 159, 0, 79), 0) << text << ": ink beyond its shaped width";
        EXPECT_EQ(lit(px, 0, kLeft - 3, 0, 79), 0) << text << ": ink before its start";
        // Every glyph is a real one: no face's empty box for a character
        // it lacks (the fallback face draws it).
        for (const kvFont::Glyph& g : line.glyphs) EXPECT_NE(g.id, 0u) << text;
    }
}

// Arabic runs right to left: the first letter (logically) is drawn
// rightmost, and a number inside it reads left to right.
TEST_F(TextGL, ArabicReadsRightToLeft)
{
    kvFont font;
    ASSERT_TRUE(font.load("Liberation Sans", false, false));
    const std::string text = "مرحبا 123";
    const kvFont::Line& line = font.shape(text);
    ASSERT_GE(line.glyphs.size(), 6u);
    // The glyphs as drawn, left to right: "123" first, then the word,
    // whose first letter (meem) comes last.
    std::vector<uint32_t> cps;
    std::vector<size_t> offsets;
    decodeUtf8(text, cps, offsets);
    const kvFont::Line& digits = font.shape("1");
    EXPECT_EQ(line.glyphs[0].id, digits.glyphs[0].id) << "'1' is drawn leftmost";
    const kvFont::Line& meem = font.shape("م");
    // Its initial form differs from the lone letter's; the rightmost glyph
    // is in the meem's face, and not a digit.
    EXPECT_EQ(line.glyphs.back().face, meem.glyphs[0].face);
    EXPECT_NE(line.glyphs.back().id, digits.glyphs[0].id);
    for (size_t i = 1; i < line.glyphs.size(); ++i) EXPECT_GE(line.glyphs[i].x, line.glyphs[i - 1].x - 0.01f);
}

// A Polish line's letters stand where the face's own advances put them
// (each within a pixel at this size), and the bowls of o and ą stay open.
TEST_F(TextGL, APolishLineKeepsItsPlacesAndItsHoles)
{
    kvFont font;
    ASSERT_TRUE(font.load("Liberation Sans", false, false));
    const std::string text = "Zażółć gęślą jaźń";
    const kvFont::Line& line = font.shape(text);
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(lib, font.getFile().c_str(), 0, &face), 0);
    std::vector<uint32_t> cps;
    std::vector<size_t> offsets;
    decodeUtf8(text, cps, offsets);
    ASSERT_EQ(line.glyphs.size(), cps.size());
    float pen = 0.0f;
    for (size_t i = 0; i < cps.size(); ++i) {
        EXPECT_NEAR(line.glyphs[i].x * kEm, pen * kEm, 1.0f) << "letter " << i;
        ASSERT_EQ(FT_Load_Char(face, cps[i], FT_LOAD_NO_SCALE), 0);
        pen += static_cast<float>(face->glyph->advance.x) / static_cast<float>(face->units_per_EM);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    const kvFontIndex f = renderer->createFont("Liberation Sans", false, false);
    const kvFont::Line& oa = font.shape("oą");
    const std::vector<uint8_t> px = draw(f, "oą");
    // A row through the bowls, a quarter em above the baseline.
    const int y = kBaseline - static_cast<int>(0.25f * kEm);
    const int split = kLeft + static_cast<int>(oa.glyphs[1].x * kEm);
    EXPECT_TRUE(rowHasAHole(px, y, kLeft, split)) << "o";
    EXPECT_TRUE(rowHasAHole(px, y, split, kLeft + static_cast<int>(oa.width * kEm) + 2)) << "ą";
    EXPECT_GT(lit(px, split, split + 20, kBaseline + 1, kBaseline + 8), 0) << "the ogonek below the line";
}

TEST_F(TextGL, MeasuringAndBreakingWithShapedWidths)
{
    kvFontIndex f = renderer->createFont("Liberation Sans", false, false);
    vector2 size(7, 7);
    EXPECT_TRUE(renderer->measureText(f, "", &size));
    EXPECT_FLOAT_EQ(size.x, 0.0f);
    EXPECT_FLOAT_EQ(size.y, 0.0f);
    EXPECT_TRUE(renderer->measureText(f, "Hello", &size));
    EXPECT_GT(size.x, 2.0f); // about half an em per letter
    EXPECT_LT(size.x, 3.5f);
    EXPECT_GT(size.y, 0.6f); // the H's box, in ems
    EXPECT_LT(size.y, 0.8f);
    vector2 untouched(5, 5);
    int pos = 42;
    EXPECT_FALSE(renderer->measureText(kvFontIndex(2), "x", &untouched));
    EXPECT_FALSE(renderer->findLineBreak(kvFontIndex(2), "x", 1, 0, &pos));
    EXPECT_FLOAT_EQ(untouched.x, 5.0f);
    EXPECT_EQ(pos, 42);

    // View 800, margin 50, scale 20: the break is the first character whose
    // running width exceeds 37.5 ems; between ideographs anywhere.
    renderer->setViewSize(800, 600);
    for (const std::string& unit : {std::string("a"), std::string("中")}) {
        std::string text;
        for (int i = 0; i < 120; ++i) text += unit;
        int expected = -1;
        for (size_t i = 1; i <= 120 && expected < 0; ++i) {
            vector2 s;
            renderer->measureText(f, text.substr(0, i * unit.size()), &s);
            if (s.x * 20 > 750) expected = static_cast<int>((i - 1) * unit.size());
        }
        ASSERT_GT(expected, 0) << unit;
        EXPECT_TRUE(renderer->findLineBreak(f, text, 20, 50, &pos));
        EXPECT_EQ(pos, expected) << unit;
    }
    EXPECT_TRUE(renderer->findLineBreak(f, "short", 20, 50, &pos));
    EXPECT_EQ(pos, 0);
}

// A glyph's edges blend in linear light: each pixel of a "W" is the mix,
// in linear terms, of the text's colour and the background's by the
// glyph's coverage, for light text on dark and dark on light alike.
TEST_F(TextGL, EdgesBlendInLinearLight)
{
    const auto linear = [](float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); };
    const auto encoded = [](float c) {
        return 255.0f * (c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f);
    };
    kvFont font;
    ASSERT_TRUE(font.load("Liberation Sans", false, false));
    const kvFont::Line& line = font.shape("W");
    ASSERT_EQ(line.glyphs.size(), 1u);
    kvFont::Bitmap b;
    ASSERT_TRUE(font.rasterise(line.glyphs[0].face, line.glyphs[0].id, 30, 30, 0, b));
    const kvFontIndex f = renderer->createFont("Liberation Sans", false, false);
    struct Case {
        float text, background;
    } const cases[] = {{1.0f, 0.0f}, {0.1f, 0.9f}};
    for (const Case& c : cases) {
        renderer->setClearColor(vector3(c.background, c.background, c.background));
        renderer->setViewSize(160, 80);
        beginFrame();
        renderer->bindTexture(kvTextureIndex());
        renderer->setColorRGBA(vector4(c.text, c.text, c.text, 1));
        renderer->pushMatrix();
        renderer->translate(vector2(kLeft, kBaseline));
        renderer->scale(vector2(kEm, kEm));
        renderer->drawText(f, "W");
        renderer->popMatrix();
        const std::vector<uint8_t> px = readAll();
        int partial = 0;
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) {
                const float a = b.coverage[static_cast<size_t>(y * b.width + x)] / 255.0f;
                const int sx = kLeft + b.left + x, sy = kBaseline - b.top + y;
                const float want = encoded(a * linear(c.text) + (1.0f - a) * linear(c.background));
                ASSERT_NEAR(px[(static_cast<size_t>(sy) * 160 + sx) * 3], want, 2.0f)
                    << "pixel " << x << "," << y << " coverage " << a << " text " << c.text;
                partial += a > 0.2f && a < 0.8f;
            }
        EXPECT_GT(partial, 10) << "a W has edges";
    }
}

TEST(Font, MissingFaceFallsBackToABestMatchAndUndrawableCharactersAreNamed)
{
    kvFont font;
    EXPECT_TRUE(font.load("No Such Face At All", false, false));
    EXPECT_FALSE(font.getFile().empty());
    EXPECT_GT(font.shape("A").width, 0.3f);
    EXPECT_EQ(kvFont::undrawable("Grüße, 你好, שלום"), 0u);
    EXPECT_EQ(kvFont::undrawable("a\xF3\xB0\x80\x80"), 0xF0000u); // a private-use plane character
}
