// The noise modifier and its generator.
#include <gtest/gtest.h>

#include <vector>

#include "image/kvRandom.h"
#include "image/kvTexture.h"
#include "image/kvTextureModifier.h"

using namespace Korvell;

TEST(Noise, GreyLevelsBelow255OnlyInsideThePicture)
{
    kvRandom::reset();
    kvTexture t(100, 100, 24);
    kvNoiseModifier* noise = new kvNoiseModifier();
    ASSERT_TRUE(t.setModifier(noise));
    noise->apply();
    EXPECT_EQ(t.getBufferWidth(), 128);
    std::vector<int> seen(256, 0);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const uint8_t* p = t.getPixels() + (y * 128 + x) * 3;
            if (x >= 100 || y >= 100) {
                EXPECT_EQ(p[0] | p[1] | p[2], 0) << "padding at " << x << "," << y;
                continue;
            }
            ASSERT_EQ(p[0], p[1]);
            ASSERT_EQ(p[1], p[2]);
            ASSERT_LT(p[0], 255);
            ++seen[p[0]];
        }
    // Low levels come up about twice as often as high ones.
    int low = 0, high = 0;
    for (int g = 0; g <= 70; ++g) low += seen[static_cast<size_t>(g)];
    for (int g = 150; g <= 220; ++g) high += seen[static_cast<size_t>(g)];
    EXPECT_GT(low, high * 3 / 2);
}

TEST(Noise, EveryRunPaintsTheSameFramesAndFramesDiffer)
{
    auto frame = [](kvTexture& t) {
        t.getModifier()->apply();
        return std::vector<uint8_t>(t.getPixels(), t.getPixels() + 16 * 16 * 3);
    };
    kvRandom::reset();
    kvTexture a(16, 16, 24);
    a.setModifier(new kvNoiseModifier());
    std::vector<uint8_t> first = frame(a), second = frame(a);
    EXPECT_NE(first, second);
    kvRandom::reset();
    kvTexture b(16, 16, 24);
    b.setModifier(new kvNoiseModifier());
    EXPECT_EQ(frame(b), first);
}

TEST(Noise, SetTextureRefusesNull)
{
    kvTexture t(4, 4, 24);
    kvNoiseModifier m;
    EXPECT_TRUE(m.setTexture(&t));
    EXPECT_FALSE(m.setTexture(nullptr));
    EXPECT_EQ(m.getTexture(), &t);
}

TEST(Random, FifteenBitValues)
{
    kvRandom::reset();
    int maxSeen = 0;
    for (int i = 0; i < 100000; ++i) {
        int r = kvRandom::next();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
        maxSeen = std::max(maxSeen, r);
    }
    EXPECT_GT(maxSeen, 32000);
}
