// The player's timeline, residency, transitions and motion, with a
// hand-stepped clock and the recording renderer.
#include <gtest/gtest.h>

#include "app/kvBaseGL.h"
#include "app/kvMessages.h"
#include "player/kvPlayer.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

using Player = PlayerTest;

} // namespace

TEST_F(Player, ThreeSlidesEndAtTheSecondToLastsEndTime)
{
    add("A", 5);
    add("B", 5);
    add("C", 5);
    preload();
    EXPECT_FALSE(frame(0.0));
    EXPECT_EQ(currentFile(), "A");
    EXPECT_FALSE(frame(4.999));
    EXPECT_EQ(currentFile(), "A");
    EXPECT_FALSE(frame(5.0));
    EXPECT_EQ(currentFile(), "B");
    EXPECT_EQ(player->getPrevious()->fileName, "A");
    EXPECT_FALSE(frame(9.99));
    EXPECT_TRUE(frame(10.0));
    EXPECT_EQ(currentFile(), "B"); // C is never shown
}

TEST_F(Player, SingleSlideShowsUntilItsEndAndAnEmptyShowEndsAtOnce)
{
    add("only", 8);
    preload();
    EXPECT_FALSE(frame(0.0));
    EXPECT_FALSE(frame(7.9));
    EXPECT_EQ(currentFile(), "only");
    EXPECT_TRUE(frame(8.0));

    kvPlayer empty(*rec, clock);
    rec->lines.clear();
    empty.update();
    EXPECT_TRUE(empty.isOver());
    EXPECT_TRUE(rec->only("quad").empty());
}

TEST_F(Player, AStalledFramePastTheSlideAfterNextDoesNotStep)
{
    add("A", 5);
    add("B", 5);
    add("C", 5);
    add("D", 5);
    preload();
    frame(0.0);
    EXPECT_FALSE(frame(16.0)); // past the end of C, the slide after next
    EXPECT_EQ(currentFile(), "A");
    EXPECT_FALSE(frame(17.0));
    EXPECT_EQ(currentFile(), "A"); // and it stays there
}

TEST_F(Player, ZeroTimeSlideRestartsTheRunningTime)
{
    add("A", 5);
    add("B", 5);
    kvPlayerItem* z = add("Z", 0);
    kvPlayerItem* after = add("E", 3);
    EXPECT_FLOAT_EQ(z->endTime, 0.0f);
    EXPECT_FLOAT_EQ(after->endTime, 3.0f);
    player->addBlank(2, TRANSITION_KEEP, 0);
    EXPECT_FLOAT_EQ(player->getItem(4)->endTime, 5.0f);
    EXPECT_TRUE(player->getItem(4)->fileName.empty());
}

TEST_F(Player, BackStepFromTheThirdSlide)
{
    for (const char* f : {"A", "B", "C", "D", "E"}) add(f, 5);
    preload();
    frame(0.0);
    frame(5.0);
    frame(10.0);
    ASSERT_EQ(currentFile(), "C");
    ASSERT_EQ(player->getNextIndex(), 3u);
    kvTextureIndex oldB = player->getItem(1)->texture;
    player->requestPrevious();
    rec->lines.clear();
    kvFakeClock::setSeconds(12.5);
    player->update();
    EXPECT_EQ(currentFile(), "B");
    EXPECT_EQ(player->getPrevious(), player->getCurrent());
    EXPECT_NE(player->getItem(1)->texture, oldB); // loaded again
    EXPECT_EQ(player->getNextIndex(), 2u);
    EXPECT_FALSE(player->isPreviousRequested());
    float t = clock.elapsed();
    EXPECT_GE(t, 5.0f); // the first slide's end time, plus the timer's fraction
    EXPECT_LT(t, 6.0f);
}

TEST_F(Player, BackRequestOnTheFirstSlideIsIgnored)
{
    add("A", 5);
    add("B", 5);
    add("C", 5);
    preload();
    frame(0.0);
    player->requestPrevious();
    EXPECT_FALSE(frame(1.0));
    EXPECT_EQ(currentFile(), "A");
    EXPECT_EQ(player->getNextIndex(), 1u);
    EXPECT_FALSE(player->isPreviousRequested());
    EXPECT_EQ(rec->only("quad").size(), 1u);
}

TEST_F(Player, NextImageMovesTheClockAndTheShowEndsOnTheNextFrame)
{
    add("A", 5);
    add("B", 5);
    add("C", 5);
    preload();
    frame(0.0);
    frame(6.0);
    ASSERT_EQ(currentFile(), "B");
    // The window procedure moves the live clock, which is the one the
    // player reads, to the end of the slide it is told of.
    kvBaseGL app;
    g_timer = clock;
    g_currentItem = player->getCurrent();
    app.handleCommand(IDM_NEXT_IMAGE);
    clock = g_timer;
    g_currentItem = nullptr;
    g_timer = kvTimer();
    EXPECT_GE(clock.elapsed(), 10.0f);
    EXPECT_LT(clock.elapsed(), 11.0f);
    player->update();
    EXPECT_TRUE(player->isOver());
}

TEST_F(Player, AtMostThreeSlideTexturesStayBesidesSlideZeros)
{
    for (const char* f : {"s0", "s1", "s2", "s3", "s4", "s5", "s6"}) add(f, 5);
    preload();
    EXPECT_EQ(ids(player->getLoadedTextures()), (std::vector<int>{1, 2}));
    frame(0.0);
    frame(5.0); // slide 1 again: t1'
    EXPECT_EQ(ids(player->getLoadedTextures()), (std::vector<int>{1, 2, 3}));
    frame(10.0);
    EXPECT_EQ(ids(rec->alive), (std::vector<int>{1, 2, 3, 4}));
    frame(15.0); // slide 3 deletes t1
    EXPECT_EQ(ids(rec->alive), (std::vector<int>{1, 3, 4, 5}));
    frame(20.0); // slide 4 deletes t1'
    EXPECT_EQ(ids(rec->alive), (std::vector<int>{1, 4, 5, 6}));
    frame(25.0);
    EXPECT_EQ(ids(rec->alive), (std::vector<int>{1, 5, 6, 7}));
    // Pixel copies go as soon as a picture is uploaded.
    EXPECT_EQ(rec->only("release").size(), 1u);
    // Going, the player deletes what is left, each index once: an evicted
    // one again would be a dead index (counted, and failing the test).
    rec->lines.clear();
    delete player;
    player = nullptr;
    EXPECT_TRUE(rec->alive.empty());
    EXPECT_EQ(rec->only("deleteTexture").size(), 4u);
}

TEST_F(Player, StorageIsSetAsideOnlyForPicturesStillToCome)
{
    // Three at most (nothing is evicted before the fourth texture); never
    // for a loaded, blank or last slide.
    struct Case {
        std::vector<std::string> files;
        float start;
        const char* reserved;
    } cases[] = {
        {{"A", "B", "C"}, 0, "reserve 0"},
        {{"A", "B", "C", "D"}, 0, "reserve 1"},
        {{"A", "B", "", "D", "E"}, 0, "reserve 1"},
        {{"A", "B", "C", "D", "E", "F", "G"}, 0, "reserve 3"},
        {{"A", "B", "C", "D", "E"}, 12, "reserve 1"}, // C and B loaded, D to come
    };
    for (const Case& c : cases) {
        PlayerTest::TearDown();
        PlayerTest::SetUp();
        for (const std::string& f : c.files) add(f.c_str(), 5);
        if (c.start > 0) {
            player->seekTo(c.start);
        } else {
            preload();
        }
        rec->lines.clear();
        player->reserveTextureStorage();
        EXPECT_EQ(rec->only("reserve"), std::vector<std::string>{c.reserved}) << c.files.size() << " " << c.start;
    }
}

TEST_F(Player, MissingPictureKeepsTheShowGoing)
{
    add("A", 5);
    add("gone.jpg", 5);
    add("C", 5);
    rec->missing.insert("gone.jpg");
    preload();
    frame(0.0);
    frame(5.5);
    EXPECT_EQ(currentFile(), "gone.jpg");
    EXPECT_EQ(player->getCurrent()->texture, kvTextureIndex(0));
    // Only the leaving picture is drawn.
    std::vector<std::string> quads = rec->only("quad");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0], "quad (0,0)-(800,600) tex=1 rgba=1,1,1,0");
}

TEST_F(Player, FrameDrawsCurrentThenLeavingThenNoise)
{
    player->createNoise(64, 64, nullptr, 1);
    player->setNoiseAlpha(0.25f);
    add("A", 5);
    add("B", 5, TRANSITION_CROSSFADE, 2);
    add("C", 5);
    preload();
    frame(0.0);
    frame(6.0);
    std::vector<std::string> quads = rec->only("quad");
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quads[0], "quad (0,0)-(800,600) tex=4 rgba=1,1,1,1");   // B, entering
    EXPECT_EQ(quads[1], "quad (0,0)-(800,600) tex=2 rgba=1,1,1,0.5"); // A, leaving, over it
    EXPECT_EQ(quads[2], "quad (0,0)-(800,600) tex=1 rgba=1,1,1,0.25"); // noise over both
    std::vector<std::string> all = rec->lines;
    auto at = [&](const std::string& l) { return std::find(all.begin(), all.end(), l) - all.begin(); };
    EXPECT_LT(at("refresh 1"), at("bind 1"));
    EXPECT_EQ(all.back(), "pop");
}

TEST_F(Player, LeavingBlankSlideIsABackgroundRectangle)
{
    rec->setClearColor(vector3(0, 0, 1));
    player->addBlank(5, TRANSITION_KEEP, 0);
    add("B", 5, TRANSITION_FADE, 2);
    add("C", 5);
    preload();
    frame(0.0);
    EXPECT_TRUE(rec->only("quad").empty());
    frame(5.5);
    std::vector<std::string> quads = rec->only("quad");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[1], "quad (0,0)-(800,600) tex=0 rgba=0,0,1,0.5");
}

TEST_F(Player, NoiseAndConfiguration)
{
    player->setNoiseAlpha(2.0f);
    EXPECT_FLOAT_EQ(player->getNoiseAlpha(), 1.0f);
    player->setNoiseAlpha(-1.0f);
    EXPECT_FLOAT_EQ(player->getNoiseAlpha(), -1.0f);
    player->createNoise(16, 16, nullptr, 0);
    player->createNoise(32, 32, nullptr, 1);
    EXPECT_EQ(rec->only("createTexture").size(), 1u);
    EXPECT_EQ(rec->only("createTexture")[0], "createTexture 16x16x24 filter=0 -> 1");
    player->addSubtitleLine(1, "no slide yet");
    add("A", 1);
    player->addSubtitleLine(1, "one");
    player->addSubtitleLine(2, "ignored");
    player->addSubtitleLine(0, "ignored");
    EXPECT_EQ(player->getItem(0)->lines, std::vector<std::string>{"one"});
}

TEST_F(Player, StartingLaterOpensOnTheSlideShowingThen)
{
    // A (0-5, crossfade), B (5-10, fade 2 s), C (10-15), D (15-20), E.
    add("A", 5, TRANSITION_CROSSFADE, 1);
    add("B", 5, TRANSITION_FADE, 2);
    add("C", 5);
    add("D", 5);
    add("E", 5);
    struct Case {
        float start;
        const char* current;
        const char* previous;
        unsigned next;
        float currentAlpha, previousAlpha;
    } cases[] = {
        {0.0f, "A", "(none)", 1, 1, 1},   // the first slide, as a show from 0
        {5.5f, "B", "A", 2, 0, 0.5f},     // inside B's fade: the leaving A half out
        {12.0f, "C", "B", 3, 1, 0},       // C keeps B's fade, long over
        {19.9f, "D", "C", 4, 1, 0},
        {40.0f, "D", "C", 4, 1, 0},       // past the show: its last slide, and over
    };
    for (const Case& c : cases) {
        PlayerTest::TearDown();
        PlayerTest::SetUp();
        add("A", 5, TRANSITION_CROSSFADE, 1);
        add("B", 5, TRANSITION_FADE, 2);
        add("C", 5);
        add("D", 5);
        add("E", 5);
        player->seekTo(c.start);
        const bool over = frame(c.start);
        EXPECT_EQ(currentFile(), c.current) << c.start;
        EXPECT_EQ(player->getPrevious() ? player->getPrevious()->fileName : "(none)", c.previous) << c.start;
        EXPECT_EQ(player->getNextIndex(), c.next) << c.start;
        EXPECT_FLOAT_EQ(player->getCurrentAlpha(), c.currentAlpha) << c.start;
        EXPECT_FLOAT_EQ(player->getPreviousAlpha(), c.previousAlpha) << c.start;
        EXPECT_EQ(over, c.start >= 20.0f) << c.start; // the show ends with D
        // The current picture is loaded, and drawn.
        EXPECT_NE(player->getCurrent()->texture, kvTextureIndex(0)) << c.start;
    }
}
