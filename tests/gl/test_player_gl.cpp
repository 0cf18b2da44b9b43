// The player drawing real pictures: a crossfade halfway between two solid
// colours, and a pan that carries a bright column across the image area.
#include <gtest/gtest.h>

#include "app/kvTimer.h"
#include "player/kvPlayer.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

class PlayerGL : public PlayerGLTest {
protected:
    int clientWidth() const override { return 64; }
    int clientHeight() const override { return 64; }
};

} // namespace

TEST_F(PlayerGL, CrossfadeHalfwayMixesTheTwoPictures)
{
    player->addImage(fixture("red64.jpg"), 4, TRANSITION_KEEP, 0, false);
    player->addImage(fixture("blue64.jpg"), 4, TRANSITION_CROSSFADE, 2, false);
    player->addImage(fixture("red64.jpg"), 4, TRANSITION_KEEP, 0, false);
    player->loadItemTexture(0);
    player->loadItemTexture(1);
    frameAt(0.0);
    uint8_t p[3];
    readPixel(32, 32, p);
    EXPECT_NEAR(p[0], 254, 2);
    EXPECT_NEAR(p[2], 0, 2);
    frameAt(5.0); // halfway through the two-second window
    readPixel(32, 32, p);
    EXPECT_NEAR(p[0], 127, 3);
    EXPECT_NEAR(p[2], 127, 3);
    frameAt(5.95); // near the end of the window: alpha 0.025
    readPixel(32, 32, p);
    EXPECT_NEAR(p[0], 6, 3);
    frameAt(6.5); // after it the crossfade is finished: blue alone
    readPixel(32, 32, p);
    EXPECT_NEAR(p[0], 0, 2);
    EXPECT_NEAR(p[2], 254, 2);
}

TEST_F(PlayerGL, PanMovesAFeatureLeftAcrossTheArea)
{
    // A bright column at x = 16 of 64; moving the texture coordinates by a
    // quarter over the slide slides the picture left by a quarter.
    kvPlayerItem* item = player->addImage(fixture("column64.jpg"), 10, TRANSITION_KEEP, 0, false);
    item->zoom = 0.0f;
    item->move = vector2(0.25f, 0.0f);
    player->addImage(fixture("column64.jpg"), 10, TRANSITION_KEEP, 0, false);
    player->loadItemTexture(0);
    player->loadItemTexture(1);
    auto brightest = [&]() {
        std::vector<uint8_t> px = readAll();
        int best = -1, bestValue = -1;
        for (int x = 0; x < 64; ++x) {
            int v = px[static_cast<size_t>((32 * 64 + x) * 3)];
            if (v > bestValue) {
                bestValue = v;
                best = x;
            }
        }
        return best;
    };
    frameAt(0.0);
    int start = brightest();
    EXPECT_NEAR(start, 16, 1);
    frameAt(5.0);
    EXPECT_NEAR(brightest(), 8, 1);
    frameAt(9.99);
    EXPECT_NEAR(brightest(), 0, 1);
}
