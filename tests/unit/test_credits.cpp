// The credits timeline with a hand-stepped clock and the recording renderer.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "credits/kvCredits.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

struct Page {
    int texture;
    float top;
    float alpha;
};

class Credits : public RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        credits.reset(new kvCredits(*rec, clock));
        credits->loadCredits();
    }
    std::unique_ptr<kvCredits> credits;
    // Draws the frame at credits time t; returns the five page quads.
    std::vector<Page> at(double t)
    {
        kvFakeClock::setSeconds(t);
        rec->lines.clear();
        credits->drawCredits();
        std::vector<Page> pages;
        for (const std::string& q : rec->only("quad")) {
            float x0, y0, x1, y1, r, g, b, a;
            int tex;
            if (std::sscanf(q.c_str(), "quad (%f,%f)-(%f,%f) tex=%d rgba=%f,%f,%f,%f", &x0, &y0, &x1, &y1, &tex, &r, &g,
                            &b, &a) == 9
                && tex >= 3)
                pages.push_back({tex, y0, a});
        }
        return pages;
    }
    // Pages that are seen: not transparent, and inside the view (a page
    // risen above the top edge may have a positive alpha again).
    static int visible(const std::vector<Page>& pages)
    {
        int n = 0;
        for (const Page& p : pages) n += p.alpha > 0.0f && p.top <= 8.5f && p.top + 1.5f > 0.0f;
        return n;
    }
};

} // namespace

TEST_F(Credits, SevenPicturesUnderTheirExactNames)
{
    std::vector<std::string> loads = rec->only("loadTexture");
    ASSERT_EQ(loads.size(), 7u);
    EXPECT_EQ(loads[0], "loadTexture credits\\back.jpg filter=1 -> 1");
    EXPECT_EQ(loads[1], "loadTexture credits\\title.jpg filter=1 -> 2");
    EXPECT_EQ(loads[6], "loadTexture credits\\cr5.jpg filter=1 -> 7");
}

TEST_F(Credits, FirstSecondHoldsPageOneTransparentAtTheBottom)
{
    std::vector<Page> pages = at(0.5);
    std::vector<std::string> quads = rec->only("quad");
    ASSERT_EQ(quads.size(), 7u);
    EXPECT_EQ(quads[0], "quad (0,0)-(10,10) tex=1 rgba=1,1,1,1");
    EXPECT_EQ(quads[1], "quad (6.8,1.5)-(9.3,3) tex=2 rgba=1,1,1,1");
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_FLOAT_EQ(pages[0].top, 8.5f);
    EXPECT_FLOAT_EQ(pages[0].alpha, 0.0f);
    EXPECT_EQ(visible(pages), 0);
    EXPECT_EQ(rec->lines.back(), "bind 0");
}

TEST_F(Credits, AtSixSecondsPageOneIsUpAndPageTwoWaits)
{
    std::vector<Page> pages = at(6.0);
    EXPECT_FLOAT_EQ(pages[0].top, 6.0f);
    EXPECT_FLOAT_EQ(pages[0].alpha, 1.0f);
    EXPECT_FLOAT_EQ(pages[1].top, 8.5f);
    EXPECT_FLOAT_EQ(pages[1].alpha, 0.0f);
    // The fifth page takes the sixth slot.
    EXPECT_FLOAT_EQ(pages[4].top, 6.0f + 2.5f * 5);
}

TEST_F(Credits, PagesFourAndFiveMeetOnlyBriefly)
{
    auto both = [&](double t) {
        std::vector<Page> p = at(t);
        return p[3].alpha > 0.0f && p[4].alpha > 0.0f && p[4].top <= 8.5f;
    };
    EXPECT_FALSE(both(25.9));
    EXPECT_TRUE(both(26.1));
    EXPECT_TRUE(both(27.2));
    EXPECT_FALSE(both(27.4));
    for (double t = 23.0; t < 26.0; t += 0.25) EXPECT_EQ(visible(at(t)), 1) << t;
}

TEST_F(Credits, NeverMoreThanThreePagesAtOnce)
{
    int most = 0;
    for (double t = 0.0; t < 40.0; t += 0.05) most = std::max(most, visible(at(t)));
    EXPECT_EQ(most, 3);
    EXPECT_EQ(visible(at(11.5)), 3);
}

TEST_F(Credits, EndsAfterFortySeconds)
{
    at(39.99);
    EXPECT_FALSE(credits->isOver());
    EXPECT_EQ(rec->only("quad").size(), 7u);
    at(40.0);
    EXPECT_TRUE(credits->isOver());
    EXPECT_TRUE(rec->lines.empty());
}

TEST_F(Credits, MissingPicturesDrawAsPlainRectangles)
{
    rec->missing = {"credits\\back.jpg", "credits\\cr1.jpg"};
    credits.reset(new kvCredits(*rec, clock));
    credits->loadCredits();
    at(6.0);
    std::vector<std::string> quads = rec->only("quad");
    EXPECT_EQ(quads[0], "quad (0,0)-(10,10) tex=0 rgba=1,1,1,1");
    EXPECT_EQ(quads[2], "quad (6.8,6)-(9.3,7.5) tex=0 rgba=1,1,1,1");
}
