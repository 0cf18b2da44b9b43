// Pictures keep their shape: a 1 : 2 portrait in a 4 : 3 image area (a
// 64 x 48 canvas over a 1 x 1 view) in every fit, its edges at the pixel
// columns the shapes give, read back from the GL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "app/kvTimer.h"
#include "player/kvFit.h"
#include "player/kvPlayer.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

// JPEG's and the blur's own error on flat colours.
const int kColourTolerance = 8;
// The backdrop sampled in bands against in one piece: rounding alone.
const int kBandTolerance = 1;

class FitGL : public GLTest {
protected:
    int clientWidth() const override { return 64; }
    int clientHeight() const override { return 48; }
    void SetUp() override
    {
        GLTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        dir = scratchDir("fit");
        // Four bands, top to bottom: red, green, blue, yellow; 32 x 64.
        const std::string make = "convert -size 32x16 xc:'#ff0000' xc:'#00ff00' xc:'#0000ff' xc:'#ffff00' -append "
                                 "PNG24:'" + dir + "/portrait.png'";
        ASSERT_EQ(std::system(make.c_str()), 0);
    }
    // A show from its start, in a fit, over a grey background.
    static void startShow(kvTimer& clock, kvPlayer& player, int fit)
    {
        kvFakeClock::now = 0;
        clock.start();
        player.setImageAreaSize(vector2(1, 1));
        player.setBackground(vector3(0.5f, 0.5f, 0.5f));
        player.setFit(fit);
    }
    // One frame of a slide of the picture in a fit.
    std::vector<uint8_t> frame(const std::string& file, int fit)
    {
        kvTimer clock(kvFakeClock::ticks);
        kvPlayer player(*renderer, clock);
        startShow(clock, player, fit);
        player.addImage(file, 2, TRANSITION_NONE, 0, false);
        player.addImage(file, 2, TRANSITION_NONE, 0, false);
        renderer->setupView(clientWidth(), clientHeight());
        player.prepare(0.0f);
        beginFrame();
        player.update();
        return readAll();
    }
    static std::vector<int> at(const std::vector<uint8_t>& rgb, int x, int y)
    {
        const size_t i = (static_cast<size_t>(y) * 64 + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    static bool near(const std::vector<int>& c, int r, int g, int b, int tol = kColourTolerance)
    {
        return std::abs(c[0] - r) <= tol && std::abs(c[1] - g) <= tol && std::abs(c[2] - b) <= tol;
    }
    std::string dir;
};

} // namespace

TEST_F(FitGL, APortraitInEveryFit)
{
    const std::string portrait = dir + "/portrait.png";
    // contain: 1 : 2 in 48 rows is 24 columns wide, from 20 to 44; the
    // bars show the background; the picture's four bands top to bottom.
    std::vector<uint8_t> f = frame(portrait, FIT_CONTAIN);
    for (int y : {4, 20, 28, 44}) {
        EXPECT_TRUE(near(at(f, 10, y), 128, 128, 128)) << "contain, left bar at row " << y;
        EXPECT_TRUE(near(at(f, 54, y), 128, 128, 128)) << "contain, right bar at row " << y;
    }
    EXPECT_TRUE(near(at(f, 19, 24), 128, 128, 128)) << "contain, last column of the bar";
    EXPECT_FALSE(near(at(f, 21, 24), 128, 128, 128)) << "contain, first column of the picture";
    EXPECT_FALSE(near(at(f, 42, 24), 128, 128, 128)) << "contain, last column of the picture";
    EXPECT_TRUE(near(at(f, 45, 24), 128, 128, 128)) << "contain, first column of the right bar";
    EXPECT_TRUE(near(at(f, 32, 5), 255, 0, 0)) << "contain, red on top";
    EXPECT_TRUE(near(at(f, 32, 18), 0, 255, 0)) << "contain, then green";
    EXPECT_TRUE(near(at(f, 32, 30), 0, 0, 255)) << "contain, then blue";
    EXPECT_TRUE(near(at(f, 32, 43), 255, 255, 0)) << "contain, yellow at the bottom";

    // cover: the whole width, the middle 3/8 of the height (green over
    // blue), nothing of the red or yellow ends.
    f = frame(portrait, FIT_COVER);
    for (int x : {1, 32, 62}) {
        EXPECT_TRUE(near(at(f, x, 4), 0, 255, 0)) << "cover, green at the top, column " << x;
        EXPECT_TRUE(near(at(f, x, 44), 0, 0, 255)) << "cover, blue at the bottom, column " << x;
    }

    // blur: the sharp picture in the contain rectangle, the bars a
    // blurred, darkened picture rather than the background.
    f = frame(portrait, FIT_BLUR);
    EXPECT_TRUE(near(at(f, 32, 5), 255, 0, 0)) << "blur, the sharp picture's red";
    EXPECT_TRUE(near(at(f, 32, 43), 255, 255, 0)) << "blur, the sharp picture's yellow";
    for (int y : {4, 24, 44}) {
        const std::vector<int> bar = at(f, 6, y);
        EXPECT_FALSE(near(bar, 128, 128, 128, 16)) << "blur, a bar is the background at row " << y;
        EXPECT_LT(bar[0] + bar[1] + bar[2], 3 * 200) << "blur, a bar is not darkened at row " << y;
    }

    // Under an opaque picture only the bars are drawn: the same frame as
    // the backdrop drawn whole beneath it (as it is under a picture with
    // an alpha channel, here one with every pixel opaque).
    const std::string withAlpha = dir + "/portrait-alpha.png";
    ASSERT_EQ(std::system(("convert '" + portrait + "' -alpha on PNG32:'" + withAlpha + "'").c_str()), 0);
    const std::vector<uint8_t> whole = frame(withAlpha, FIT_BLUR);
    int worst = 0;
    for (size_t i = 0; i < f.size(); ++i) worst = std::max(worst, std::abs(int(f[i]) - int(whole[i])));
    EXPECT_LE(worst, kBandTolerance) << "the bars drawn as bands against the backdrop drawn whole";

    // stretch: exactly the frame a quad over the whole area draws.
    f = frame(portrait, FIT_STRETCH);
    beginFrame();
    renderer->setColorRGB(vector3(1, 1, 1));
    const kvTextureIndex t = renderer->loadTexture(portrait, 1);
    renderer->bindTexture(t);
    renderer->drawQuad(vector2(0, 0), vector2(1, 1));
    EXPECT_EQ(f, readAll());
}

// Half way through a crossfade between two blurred slides, the pictures
// mix as pictures: the leaving one's backdrop does not show through it.
TEST_F(FitGL, ACrossfadeOfBlurredSlidesMixesThePicturesAlone)
{
    const std::string red = dir + "/red.png", white = dir + "/white.png";
    ASSERT_EQ(std::system(("convert -size 32x64 xc:'#ff0000' PNG24:'" + red + "' && convert -size 32x64 xc:white PNG24:'"
                           + white + "'").c_str()),
              0);
    kvTimer clock(kvFakeClock::ticks);
    kvPlayer player(*renderer, clock);
    startShow(clock, player, FIT_BLUR);
    player.addImage(red, 2, TRANSITION_KEEP, 0, false);
    player.addImage(white, 2, TRANSITION_CROSSFADE, 1, false);
    player.addImage(red, 2, TRANSITION_KEEP, 0, false);
    renderer->setupView(clientWidth(), clientHeight());
    player.loadItemTexture(0);
    player.loadItemTexture(1);
    std::vector<uint8_t> f;
    for (uint32_t ms : {0u, 1000u, 2500u}) {
        kvFakeClock::now = ms;
        beginFrame();
        player.update();
        f = readAll();
    }
    // Red and white half and half, in the picture; the two backdrops
    // (darkened red and darkened white) half and half in the bars.
    EXPECT_TRUE(near(at(f, 32, 24), 255, 128, 128)) << at(f, 32, 24)[1];
    EXPECT_LT(at(f, 6, 24)[1], 128) << "a bar is darkened";
}

// A camera's landscape turned upright is a portrait: 2 : 3 as seen, so in
// 48 rows 32 columns wide, from 16 to 48.
TEST_F(FitGL, ATurnedLandscapeIsAPortrait)
{
    std::vector<uint8_t> f = frame(fixture("rotated6.jpg"), FIT_CONTAIN);
    EXPECT_TRUE(near(at(f, 14, 24), 128, 128, 128)) << "the left bar";
    EXPECT_FALSE(near(at(f, 18, 24), 128, 128, 128)) << "the picture's left edge";
    EXPECT_FALSE(near(at(f, 46, 24), 128, 128, 128)) << "the picture's right edge";
    EXPECT_TRUE(near(at(f, 50, 24), 128, 128, 128)) << "the right bar";
    // Turned a quarter clockwise: red top right, blue top left.
    EXPECT_TRUE(near(at(f, 40, 6), 255, 0, 0)) << "red, top right";
    EXPECT_TRUE(near(at(f, 24, 6), 0, 0, 255)) << "blue, top left";
}
