// Transition opacities and the texture matrix for pan and zoom.
#include <gtest/gtest.h>

#include "player/kvPlayer.h"
#include "player/kvTextureMatrix.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

class Transitions : public PlayerTest {
protected:
    // Slides A (10 s) and B with the given transition; steps into B.
    static void stepIntoB(kvPlayer* p, int code, float ttime)
    {
        p->addImage("A", 10, TRANSITION_KEEP, 0, false);
        p->addImage("B", 10, code, ttime, false);
        p->addImage("C", 10, TRANSITION_KEEP, 0, false);
        float t = 0;
        p->advance(t);
        t = 10.0f;
        p->advance(t);
        ASSERT_EQ(p->getCurrent()->fileName, "B");
    }
    void stepIntoB(int code, float ttime) { stepIntoB(player, code, ttime); }
};

} // namespace

TEST_F(Transitions, FadeOutThenIn)
{
    stepIntoB(TRANSITION_FADE, 2);
    player->updateTransition(10.5f);
    EXPECT_FLOAT_EQ(player->getPreviousAlpha(), 0.5f);
    EXPECT_FLOAT_EQ(player->getCurrentAlpha(), 0.0f);
    player->updateTransition(11.5f);
    EXPECT_FLOAT_EQ(player->getPreviousAlpha(), 0.0f);
    EXPECT_FLOAT_EQ(player->getCurrentAlpha(), 0.5f);
    player->updateTransition(11.99f);
    EXPECT_NEAR(player->getCurrentAlpha(), 0.99f, 1e-4);
    // The first frame past the window finishes it, however late it comes.
    player->updateTransition(14.0f);
    EXPECT_FLOAT_EQ(player->getCurrentAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(player->getPreviousAlpha(), 0.0f);
    // A frame stalled inside the fade: the next one, past it, is whole.
    kvPlayer stalled(*rec, clock);
    stepIntoB(&stalled, TRANSITION_FADE, 2);
    stalled.updateTransition(10.1f);
    stalled.updateTransition(12.0f); // exactly at the window's end
    EXPECT_FLOAT_EQ(stalled.getCurrentAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(stalled.getPreviousAlpha(), 0.0f);
}

TEST_F(Transitions, CrossfadeFadesTheLeavingPictureOverTheWholeWindow)
{
    stepIntoB(TRANSITION_CROSSFADE, 2);
    player->updateTransition(10.5f);
    EXPECT_FLOAT_EQ(player->getCurrentAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(player->getPreviousAlpha(), 0.75f);
    player->updateTransition(11.9f);
    EXPECT_NEAR(player->getPreviousAlpha(), 0.05f, 1e-4);
    player->updateTransition(13.0f); // past the window: the leaving picture is gone
    EXPECT_FLOAT_EQ(player->getPreviousAlpha(), 0.0f);
    EXPECT_FLOAT_EQ(player->getCurrentAlpha(), 1.0f);
}

TEST_F(Transitions, CutAndEmptyWindow)
{
    stepIntoB(TRANSITION_NONE, 1);
    player->updateTransition(10.2f);
    EXPECT_FLOAT_EQ(player->getPreviousAlpha(), 0.0f);
    EXPECT_FLOAT_EQ(player->getCurrentAlpha(), 1.0f);

    // A window of 0 (or less) is a cut at once, whatever the transition.
    for (float window : {0.0f, -1.0f}) {
        kvPlayer other(*rec, clock);
        stepIntoB(&other, TRANSITION_FADE, window);
        other.updateTransition(10.0f);
        EXPECT_FLOAT_EQ(other.getCurrentAlpha(), 1.0f) << window;
        EXPECT_FLOAT_EQ(other.getPreviousAlpha(), 0.0f) << window;
    }
}

TEST_F(Transitions, KeepTakesTheTransitionInForce)
{
    player->addImage("A", 10, TRANSITION_KEEP, 0, false);
    player->addImage("B", 10, TRANSITION_KEEP, 5, false);
    player->addImage("C", 10, TRANSITION_KEEP, 0, false);
    float t = 0;
    player->advance(t);
    t = 10;
    player->advance(t);
    EXPECT_EQ(player->getTransitionType(), TRANSITION_NONE); // the initial cut
    EXPECT_FLOAT_EQ(player->getTransitionTime(), 1.0f);
}

TEST(TextureMatrix, DefaultSlideIsIdentityAndZoomDividesCoordinates)
{
    float m[16];
    computeTextureMatrix(true, 1.0f, 0, 0, 0, 0, m);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    // Zoom 1 -> 1.5 over 10 s, at 5 s: z = 1.25.
    computeTextureMatrix(true, 1.0f + 0.5f * 0.5f, 0.1f, 0.2f, 0, 0, m);
    EXPECT_FLOAT_EQ(m[0], 0.8f);
    EXPECT_FLOAT_EQ(m[5], 0.8f);
    EXPECT_FLOAT_EQ(m[12], 0.08f);
    EXPECT_FLOAT_EQ(m[13], 0.16f);
    // Zoom switched off: only the shift.
    computeTextureMatrix(false, 123.0f, 0, 0, 0.1f, 0, m);
    EXPECT_FLOAT_EQ(m[0], 1.0f);
    EXPECT_FLOAT_EQ(m[12], 0.1f);
}

TEST_F(Transitions, MotionFollowsTheSlidesProgress)
{
    kvPlayerItem* a = player->addImage("A", 10, TRANSITION_KEEP, 0, false);
    a->zoom = 1.5f;
    kvPlayerItem* b = player->addImage("B", 10, TRANSITION_KEEP, 0, false);
    b->zoom = 0.0f;
    b->move = vector2(0.2f, 0.0f);
    kvPlayerItem* c = player->addImage("C", 10, TRANSITION_KEEP, 0, false);
    // The largest zoom a slide reaches, played (progress 0 to 1) or
    // stepped back to (-1 to 0), sizes its decode.
    player->setImageAreaSize(vector2(4, 3));
    c->startZoom = 2.0f;
    c->zoom = 0.5f; // 2 down to 1.5 when played, up to 2.5 after a back step
    EXPECT_FLOAT_EQ(player->shownSpan(a).x, 6.0f);
    EXPECT_FLOAT_EQ(player->shownSpan(b).x, 4.0f);
    EXPECT_FLOAT_EQ(player->shownSpan(c).x, 10.0f);
    EXPECT_FLOAT_EQ(player->shownSpan(c).y, 7.5f);
    player->loadItemTexture(0);
    player->loadItemTexture(1);
    kvFakeClock::setSeconds(5.0);
    player->update();
    EXPECT_FLOAT_EQ(a->textureMatrix[0], 0.8f);
    EXPECT_NE(std::find(rec->lines.begin(), rec->lines.end(), "texmatrix s=0.8,0.8 t=0,0"), rec->lines.end());
    kvFakeClock::setSeconds(10.0);
    player->update();
    kvFakeClock::setSeconds(15.0);
    rec->lines.clear();
    player->update();
    EXPECT_FLOAT_EQ(b->textureMatrix[0], 1.0f);
    EXPECT_FLOAT_EQ(b->textureMatrix[12], 0.1f);
    // The leaving slide keeps the matrix of its last frame; identity is
    // restored before the noise and the subtitles.
    std::vector<std::string> tm = rec->only("texmatrix");
    ASSERT_EQ(tm.size(), 3u);
    EXPECT_EQ(tm[0], "texmatrix s=1,1 t=0.1,0");
    EXPECT_EQ(tm[1].substr(0, 19), "texmatrix s=0.8,0.8");
    EXPECT_EQ(tm[2], "texmatrix identity");
}

TEST_F(Transitions, ZeroDurationSlideShowsItsPictureUnmoved)
{
    kvPlayerItem* z = player->addImage("Z", 0, TRANSITION_KEEP, 0, true);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(z->textureMatrix[i], i % 5 == 0 ? 1.0f : 0.0f);
}
