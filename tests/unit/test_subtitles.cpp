// Subtitle layout and typing with the recording renderer, whose font has
// known metrics: every glyph advances 1 font unit and is 1 unit tall.
#include <gtest/gtest.h>

#include "render/kvTextLayout.h"
#include "support/kvScriptTest.h"

using namespace Korvell;

namespace {

class Subtitles : public ScriptTest {
protected:
    // Slides: a 10 s opener, then the slide under test from 10 s to 20 s.
    void show(const std::string& style, const std::string& lines)
    {
        run("<viewport x=\"800\" y=\"600\"/>" + style
            + "<image time=\"10\"><file>a</file></image>"
              "<image time=\"10\"><file>b</file>"
            + lines + "</image><image time=\"10\"><file>c</file></image>");
        player->loadItemTexture(0);
        player->loadItemTexture(1);
        at(0.0);
        at(10.0);
    }
    // The text rows drawn at show time t.
    std::vector<std::string> at(double t)
    {
        kvFakeClock::setSeconds(t);
        rec->lines.clear();
        player->update();
        return rec->only("text");
    }
};

} // namespace

TEST_F(Subtitles, TwoLinesShareTheTimeBetweenTheDelays)
{
    show("<subtitles delay=\"1\"><face>Liberation Sans</face></subtitles>",
         "<line1>first</line1><line2>second</line2>");
    EXPECT_TRUE(at(10.9).empty());
    EXPECT_EQ(at(11.0), std::vector<std::string>{"text 1 'first'"});
    EXPECT_EQ(at(14.9), std::vector<std::string>{"text 1 'first'"});
    EXPECT_EQ(at(15.0), std::vector<std::string>{"text 1 'second'"});
    EXPECT_EQ(at(18.9), std::vector<std::string>{"text 1 'second'"});
    EXPECT_TRUE(at(19.0).empty());
}

TEST_F(Subtitles, TypewriterRevealsOneCharacterPerStep)
{
    show("<subtitles delay=\"1\"><face>Liberation Sans</face><effect time=\"0.1\">typewriter</effect></subtitles>",
         "<line1>abcdefghijklmnopqrstuvwxyz</line1><line2>second</line2>");
    EXPECT_EQ(at(12.05), std::vector<std::string>{"text 1 'abcdefghij'"});
    EXPECT_EQ(at(11.0), std::vector<std::string>{"text 1 ''"});
    // A hair before a line's first instant: nothing typed yet.
    std::string line = "abc";
    player->applyTypewriter(1.0f - 1e-6f, line, 0.1f);
    EXPECT_EQ(line, "");
    // One character a step as people see them: a letter with its
    // combining accent, and an emoji family of three joined by ZWJs.
    const std::string cafe = "Cafe\xCC\x81 \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7!";
    struct Step {
        float x;
        std::string typed;
    } steps[] = {
        {1.35f, "Caf"},
        {1.45f, "Cafe\xCC\x81"},
        {1.55f, "Cafe\xCC\x81 "},
        {1.65f, "Cafe\xCC\x81 \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"},
        {1.75f, cafe},
    };
    for (const Step& s : steps) {
        std::string typed = cafe;
        player->applyTypewriter(s.x, typed, 0.1f);
        EXPECT_EQ(typed, s.typed) << "at " << s.x;
    }
}

TEST_F(Subtitles, TypewriterTimeZeroShowsTheLineWhole)
{
    show("<subtitles><face>Liberation Sans</face><effect>typewriter</effect></subtitles>", "<line1>whole</line1>");
    EXPECT_EQ(player->getSubtitleEffect(), EFFECT_TYPEWRITER);
    EXPECT_EQ(at(10.5), std::vector<std::string>{"text 1 'whole'"});
}

TEST_F(Subtitles, DelayOfHalfTheSlideShowsNothing)
{
    show("<subtitles delay=\"5\"><face>Liberation Sans</face></subtitles>", "<line1>never</line1>");
    for (double t : {10.0, 12.0, 15.0, 17.5, 19.9}) EXPECT_TRUE(at(t).empty()) << t;
}

TEST_F(Subtitles, LeftAlignedAtTheMarginOrCentred)
{
    show("<subtitles y=\"550\" scale=\"10\" margin=\"25\"><face>Liberation Sans</face></subtitles>",
         "<line1>twenty characters xx</line1>");
    at(12.0);
    EXPECT_NE(std::find(rec->lines.begin(), rec->lines.end(), "translate 25,550"), rec->lines.end());
    EXPECT_NE(std::find(rec->lines.begin(), rec->lines.end(), "scale 10,10"), rec->lines.end());
    EXPECT_NE(std::find(rec->lines.begin(), rec->lines.end(), "color 1,1,1,1"), rec->lines.end());

    run("<subtitles y=\"550\" scale=\"10\" margin=\"25\"><face>Liberation Sans</face><center/>"
        "<color r=\"1\" g=\"0\" b=\"0\"/></subtitles>");
    at(12.0);
    // (800 - 20 x 10) / 2 + 25
    EXPECT_NE(std::find(rec->lines.begin(), rec->lines.end(), "translate 325,550"), rec->lines.end());
    EXPECT_NE(std::find(rec->lines.begin(), rec->lines.end(), "color 1,0,0,1"), rec->lines.end());
}

TEST_F(Subtitles, TooWideLineBreaksOnceAtASpace)
{
    // At scale 75 in an 800-wide view the eleventh character, the first c,
    // overflows, so the break falls after the second space.
    show("<subtitles y=\"500\" scale=\"75\"><face>Liberation Sans</face></subtitles>", "<line1>aaaa bbbb cccc</line1>");
    EXPECT_EQ(at(12.0), (std::vector<std::string>{"text 1 'aaaa bbbb '", "text 1 'cccc'"}));
    // The second row stands lower by the tallest glyph (scaled) plus 0.05.
    EXPECT_NE(std::find(rec->lines.begin(), rec->lines.end(), "translate 0,575.05"), rec->lines.end());
}

TEST_F(Subtitles, SecondRowWaitsForTheFirstToBeTyped)
{
    show("<subtitles scale=\"60\"><face>Liberation Sans</face><effect time=\"0.5\">typewriter</effect></subtitles>",
         "<line1>aaaa bbbb cccc</line1>");
    EXPECT_EQ(at(11.0), (std::vector<std::string>{"text 1 'aa'", "text 1 ''"}));
    EXPECT_EQ(at(15.5), (std::vector<std::string>{"text 1 'aaaa bbbb '", "text 1 'c'"}));
}

TEST_F(Subtitles, NoFontNoLinesAndTheLeavingSlidesLinesAreNotDrawn)
{
    show("", "<line1>no font</line1>");
    EXPECT_TRUE(at(12.0).empty());
    run("<subtitles><center/></subtitles>");
    EXPECT_FALSE(player->getSubtitleCenter()); // ignored without a face
}

TEST_F(Subtitles, AttributesAlwaysApplyAndTheRestNeedsAFace)
{
    run("<subtitles y=\"5\" scale=\"2\" delay=\"1\" margin=\"3\"><face>Liberation Sans</face><center/>"
        "<style bold=\"yes\" italic=\"Yes\"/><effect time=\"0.2\">typewriter</effect></subtitles>");
    EXPECT_EQ(rec->only("createFont"), std::vector<std::string>{"createFont Liberation Sans bold -> 1"});
    EXPECT_TRUE(player->getSubtitleCenter());
    EXPECT_FLOAT_EQ(player->getTypewriterTime(), 0.2f);
    run("<subtitles scale=\"2\"/>");
    EXPECT_FLOAT_EQ(player->getSubtitleY(), 0.0f);
    EXPECT_FLOAT_EQ(player->getSubtitleDelay(), 0.0f);
    EXPECT_FLOAT_EQ(player->getSubtitleMargin(), 0.0f);
    EXPECT_TRUE(player->getSubtitleCenter());
    run("<subtitles><face>X</face><effect>Typewriter</effect></subtitles>");
    EXPECT_FALSE(player->getSubtitleCenter()); // a face without center turns it off
    EXPECT_EQ(player->getSubtitleEffect(), EFFECT_TYPEWRITER); // unknown keyword: unchanged
    EXPECT_EQ(player->getFonts().size(), 2u);
}

TEST(TextLayout, BreakPositionsOverEveryCase)
{
    // Characters of varied advances: a space 1, 'a' 1, 'W' 3, an ideograph
    // 1; view width 10, no margin, so the running width must stay at or
    // below 10 / scale.
    struct Case {
        const char* text;
        float scale;
        int position;
    } cases[] = {
        {"aaaa", 1.0f, 0},              // fits
        {"aaaaaaaaaa", 1.0f, 0},        // exactly the width still fits
        {"aaaaaaaaaaa", 1.0f, 10},      // no space: cut at the overflowing character
        {"aaaa bbbb cccc", 1.0f, 10},   // after the last space before the overflow
        {" aaaaaaaaaaaa", 1.0f, 10},    // a space at index 0 does not count
        {"aaaaaaa bb", 1.0f, 0},        // fits, spaces or not
        // The first character alone overflows: the break falls at the next
        // overflowing character, or after a later space.
        {"Waa", 5.0f, 1},
        {"W aa", 5.0f, 2},
        {"W", 5.0f, 0},                 // nothing after it: no second row
        // Between any two ideographs, before the first that overflows (the
        // eleventh, at byte 30), and never inside an accented letter.
        {"\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad\xe6\x96\x87"
         "\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad\xe6\x96\x87", 1.0f, 30},
        {"aaaaaaaaae\xcc\x81" "e\xcc\x81", 1.0f, 12}, // e + combining acute: one character
    };
    for (const Case& c : cases) {
        std::vector<kvCluster> clusters = evenClusters(c.text, 1.0f);
        for (kvCluster& k : clusters)
            if (c.text[k.byte] == 'W') k.advance = 3.0f;
        EXPECT_EQ(findClusterBreak(clusters, c.scale, 0.0f, 10.0f), c.position) << "'" << c.text << "' at scale " << c.scale;
    }
}
