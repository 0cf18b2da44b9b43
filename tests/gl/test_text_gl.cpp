// Outline-font text on a real font (Liberation Sans): list bases, metrics,
// line breaks, and glyphs filled with their holes left open.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "render/kvOutlineFont.h"
#include "text/kvTextEncoding.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

class TextGL : public GLTest {
protected:
    int clientWidth() const override { return 160; }
    int clientHeight() const override { return 80; }
};

// Whether the row has text, then background, then text again: a closed
// counter such as the inside of "o".
bool rowHasAHole(const std::vector<uint8_t>& px, int width, int y, int x0, int x1)
{
    int state = 0;
    for (int x = x0; x <= x1; ++x) {
        bool text = px[static_cast<size_t>((y * width + x) * 3)] > 200;
        if (state == 0 && text) state = 1;
        else if (state == 1 && !text) state = 2;
        else if (state == 2 && text) return true;
    }
    return false;
}

} // namespace

TEST_F(TextGL, FontsGetBlocksOf256ListsFrom1000)
{
    kvFontIndex a = renderer->createFont("Liberation Sans", false, false);
    kvFontIndex b = renderer->createFont("Liberation Sans", true, false);
    EXPECT_EQ(a, kvFontIndex(1));
    EXPECT_EQ(b, kvFontIndex(2));
    EXPECT_TRUE(glIsList(1000 + 'A'));
    EXPECT_TRUE(glIsList(1256 + 'A'));
    EXPECT_FALSE(glIsList(1000 + 255));
    renderer->deleteFont(kvFontIndex(1));
    EXPECT_FALSE(glIsList(1000 + 'A'));
    EXPECT_EQ(renderer->createFont("Liberation Sans", false, true), kvFontIndex(3));
    EXPECT_TRUE(glIsList(1512 + 'A'));
}

TEST_F(TextGL, MeasuringAndBreakingWithRealMetrics)
{
    kvFontIndex f = renderer->createFont("Liberation Sans", false, false);
    vector2 size(7, 7);
    EXPECT_TRUE(renderer->measureText(f, "", &size));
    EXPECT_FLOAT_EQ(size.x, 0.0f);
    EXPECT_FLOAT_EQ(size.y, 0.0f);
    EXPECT_TRUE(renderer->measureText(f, "Hello", &size));
    EXPECT_GT(size.x, 2.0f); // about half an em per letter
    EXPECT_LT(size.x, 3.5f);
    EXPECT_GT(size.y, 0.6f); // the H's black box, in ems
    EXPECT_LT(size.y, 0.8f);
    vector2 untouched(5, 5);
    int pos = 42;
    EXPECT_FALSE(renderer->measureText(kvFontIndex(2), "x", &untouched));
    EXPECT_FALSE(renderer->findLineBreak(kvFontIndex(2), "x", 1, 0, &pos));
    EXPECT_FLOAT_EQ(untouched.x, 5.0f);
    EXPECT_EQ(pos, 42);

    // View 800, margin 50, scale 20: the break is the first character whose
    // running width exceeds 37.5 ems.
    renderer->setViewSize(800, 600);
    std::string text(120, 'a');
    int expected = -1;
    for (size_t i = 1; i <= text.size() && expected < 0; ++i) {
        vector2 s;
        renderer->measureText(f, text.substr(0, i), &s);
        if (s.x * 20 > 750) expected = static_cast<int>(i - 1);
    }
    ASSERT_GT(expected, 0);
    EXPECT_TRUE(renderer->findLineBreak(f, text, 20, 50, &pos));
    EXPECT_EQ(pos, expected);
    EXPECT_TRUE(renderer->findLineBreak(f, "short", 20, 50, &pos));
    EXPECT_EQ(pos, 0);
}

TEST_F(TextGL, CodeFor255IsAnEmptyGlyph)
{
    kvFontIndex f = renderer->createFont("Liberation Sans", false, false);
    vector2 a, b;
    renderer->measureText(f, "ab", &a);
    renderer->measureText(f, std::string("a\xFF" "b"), &b);
    EXPECT_FLOAT_EQ(a.x, b.x);
}

TEST_F(TextGL, PolishTextIsFilledWithItsHolesOpen)
{
    kvFontIndex f = renderer->createFont("Liberation Sans", false, false);
    renderer->setViewSize(160, 80);
    beginFrame();
    renderer->bindTexture(kvTextureIndex(0));
    renderer->setColorRGBA(vector4(1, 1, 1, 1));
    std::string line = utf8ToCp1250("o\xC4\x85"); // "oą"
    ASSERT_EQ(line, std::string("o\xB9"));
    renderer->pushMatrix();
    renderer->translate(vector2(4, 60));
    renderer->scale(vector2(60, 60));
    renderer->drawText(f, line);
    renderer->popMatrix();
    std::vector<uint8_t> px = readAll();

    kvOutlineFont font;
    ASSERT_TRUE(font.load("Liberation Sans", false, false));
    const kvGlyphMetrics& o = font.glyph('o').metrics;
    const kvGlyphMetrics& a = font.glyph(0xB9).metrics;
    EXPECT_GT(a.blackBoxY, o.blackBoxY); // the ogonek hangs below the line
    // Rows through the middle of the bowls, a quarter em above the baseline.
    int y = 60 - static_cast<int>(0.25f * 60);
    int oStart = 4 + static_cast<int>(o.originX * 60);
    int oEnd = 4 + static_cast<int>((o.originX + o.blackBoxX) * 60);
    int aStart = 4 + static_cast<int>((o.cellIncX + a.originX) * 60);
    int aEnd = 4 + static_cast<int>((o.cellIncX + a.originX + a.blackBoxX) * 60);
    EXPECT_TRUE(rowHasAHole(px, 160, y, oStart - 1, oEnd + 1)) << "o";
    EXPECT_TRUE(rowHasAHole(px, 160, y, aStart - 1, aEnd + 1)) << "ą";
    // Text-coloured pixels exist where the glyphs are, none far right.
    int lit = 0;
    for (int x = oStart; x <= aEnd; ++x) lit += px[static_cast<size_t>((y * 160 + x) * 3)] > 200;
    EXPECT_GT(lit, 8);
    EXPECT_LT(px[static_cast<size_t>((y * 160 + 158) * 3)], 10);
}

TEST(OutlineFont, MissingFaceFallsBackToABestMatch)
{
    kvOutlineFont font;
    EXPECT_TRUE(font.load("No Such Face At All", false, false));
    EXPECT_FALSE(font.getFile().empty());
    EXPECT_FALSE(font.glyph('A').contours.empty());
    EXPECT_GT(font.glyph('A').metrics.cellIncX, 0.3f);
    EXPECT_EQ(cp1250ToUnicode(0xB9), 0x0105u);
    EXPECT_EQ(cp1250ToUnicode(0x8C), 0x015Au);
}
