// The window procedure and the display-mode switch, without a display.
#include <gtest/gtest.h>

#include <csignal>

#include <unistd.h>

#include "app/kvMessageBox.h"
#include "app/kvShow.h"
#include "app/kvMessages.h"
#include "app/kvSignals.h"
#include "app/kvTimer.h"
#include "player/kvPlayerItem.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

class CountingModes : public kvDisplayModes {
public:
    bool getMode(int, kvDisplayMode&) override { return false; }
    bool testMode(const kvDisplayMode&) override
    {
        ++tests;
        return accept;
    }
    int tests = 0;
    bool accept = true;
};

SDL_Event keyDown(SDL_Keycode key, bool repeat = false)
{
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    e.key.repeat = repeat ? 1 : 0;
    return e;
}

// The application object, with the live clock on the fake counter.
struct WindowProcedure : ::testing::Test {
    void SetUp() override
    {
        kvFakeClock::now = 0;
        g_timer = kvTimer(kvFakeClock::ticks);
        g_timer.start();
        app = new kvBaseGL();
    }
    void TearDown() override
    {
        delete app;
        g_timer = kvTimer();
        g_currentItem = nullptr;
        g_previousRequested = false;
    }
    kvBaseGL* app = nullptr;
};

} // namespace

TEST_F(WindowProcedure, NextImageMovesTheClockToTheSlidesEnd)
{
    kvPlayerItem item(12.0f, "a.jpg", kvTextureIndex(), TRANSITION_KEEP, 0.0f);
    kvFakeClock::setSeconds(3.25);
    g_currentItem = &item;
    app->handleCommand(IDM_NEXT_IMAGE);
    float t = g_timer.elapsed();
    EXPECT_GE(t, 12.0f);
    EXPECT_LT(t, 13.0f);
}

TEST_F(WindowProcedure, NextImageWithoutASlideDoesNothing)
{
    kvFakeClock::setSeconds(3.25);
    g_currentItem = nullptr;
    app->handleCommand(IDM_NEXT_IMAGE);
    EXPECT_FLOAT_EQ(g_timer.elapsed(), 3.25f);
}

TEST_F(WindowProcedure, PreviousImageSetsTheRequestAndQuitPostsTheQuitMessage)
{
    unsigned before = quitMessagesPosted();
    app->handleCommand(IDM_PREVIOUS_IMAGE);
    EXPECT_TRUE(g_previousRequested);
    EXPECT_EQ(quitMessagesPosted(), before);
    app->handleCommand(IDM_QUIT);
    EXPECT_EQ(quitMessagesPosted(), before + 1);
    app->handleCommand(4242); // unknown commands are ignored
    EXPECT_EQ(quitMessagesPosted(), before + 1);
}

TEST_F(WindowProcedure, EscapeAndTheCloseBoxQuitOtherKeysDoNothing)
{
    unsigned before = quitMessagesPosted();
    app->handleEvent(keyDown(SDLK_a));
    app->handleEvent(keyDown(SDLK_RETURN));
    EXPECT_EQ(quitMessagesPosted(), before);
    app->handleEvent(keyDown(SDLK_ESCAPE));
    EXPECT_EQ(quitMessagesPosted(), before + 1);
    app->handleEvent(keyDown(SDLK_ESCAPE, true)); // a held key's repeats
    EXPECT_EQ(quitMessagesPosted(), before + 1);
    SDL_Event close;
    SDL_zero(close);
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    app->handleEvent(close);
    EXPECT_EQ(quitMessagesPosted(), before + 2);
}

TEST_F(WindowProcedure, RightButtonOpensThePopupAndEscapeOnlyClosesIt)
{
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    app->handleEvent(e);
    EXPECT_FALSE(app->isPopupOpen());
    e.button.button = SDL_BUTTON_RIGHT;
    app->handleEvent(e);
    EXPECT_TRUE(app->isPopupOpen());
    // The open menu takes the keyboard: Escape dismisses it, nothing more.
    unsigned before = quitMessagesPosted();
    app->handleEvent(keyDown(SDLK_ESCAPE));
    EXPECT_FALSE(app->isPopupOpen());
    EXPECT_EQ(quitMessagesPosted(), before);
    app->handleEvent(keyDown(SDLK_ESCAPE));
    EXPECT_EQ(quitMessagesPosted(), before + 1);
}

TEST_F(WindowProcedure, PointerMotionNeverQueuesInFrontOfAKey)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    for (int i = 0; i < 1500; ++i) {
        SDL_Event m;
        SDL_zero(m);
        m.type = SDL_MOUSEMOTION;
        m.motion.x = i % 300;
        SDL_PushEvent(&m);
    }
    SDL_Event esc = keyDown(SDLK_ESCAPE);
    SDL_PushEvent(&esc);
    unsigned before = quitMessagesPosted();
    // The very next frame takes the key; the one after it, the quit.
    EXPECT_TRUE(app->pumpMessages());
    EXPECT_EQ(quitMessagesPosted(), before + 1);
    EXPECT_FALSE(app->pumpMessages());
    EXPECT_TRUE(app->pumpMessages()); // nothing left
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST_F(WindowProcedure, ASignalEndsTheLoopWhateverIsQueued)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    installQuitSignals();
    EXPECT_TRUE(app->pumpMessages());
    std::raise(SIGTERM);
    EXPECT_EQ(quitSignal(), SIGTERM);
    EXPECT_EQ(signalExitCode(quitSignal()), 143);
    EXPECT_FALSE(app->pumpMessages());
    clearQuitSignal();
    signal(SIGINT, SIG_DFL);
    EXPECT_TRUE(app->pumpMessages());
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST(MessageBox, EnterEscapeSpaceAndItsOwnCloseBoxAcknowledge)
{
    struct Case {
        Uint32 type;
        SDL_Keycode key;
        Uint8 windowEvent;
        Uint32 windowId;
        bool acknowledges;
    } cases[] = {
        {SDL_KEYDOWN, SDLK_RETURN, 0, 0, true},
        {SDL_KEYDOWN, SDLK_KP_ENTER, 0, 0, true},
        {SDL_KEYDOWN, SDLK_ESCAPE, 0, 0, true},
        {SDL_KEYDOWN, SDLK_SPACE, 0, 0, true},
        {SDL_KEYDOWN, SDLK_a, 0, 0, false},
        {SDL_KEYUP, SDLK_RETURN, 0, 0, false},
        {SDL_WINDOWEVENT, 0, SDL_WINDOWEVENT_CLOSE, 7, true},
        {SDL_WINDOWEVENT, 0, SDL_WINDOWEVENT_CLOSE, 8, false}, // another window's
        {SDL_WINDOWEVENT, 0, SDL_WINDOWEVENT_EXPOSED, 7, false},
        {SDL_MOUSEMOTION, 0, 0, 7, false},
        {SDL_QUIT, 0, 0, 0, true},
    };
    for (const Case& c : cases) {
        SDL_Event e;
        SDL_zero(e);
        e.type = c.type;
        if (c.type == SDL_KEYDOWN || c.type == SDL_KEYUP) e.key.keysym.sym = c.key;
        if (c.type == SDL_WINDOWEVENT) {
            e.window.event = c.windowEvent;
            e.window.windowID = c.windowId;
        }
        EXPECT_EQ(messageBoxAcknowledges(e, 7), c.acknowledges) << "event " << c.type << " key " << c.key;
    }
}

TEST_F(WindowProcedure, WindowedRunNeverTouchesTheDisplay)
{
    CountingModes modes;
    app->setDisplayModes(&modes);
    app->setMode(800, 600, 75, false);
    uint32_t start = SDL_GetTicks();
    EXPECT_TRUE(app->applyVideoMode());
    EXPECT_EQ(modes.tests, 0);
    EXPECT_LT(SDL_GetTicks() - start, 500u); // no one-second wait
    app->setDisplayModes(nullptr);
}

TEST_F(WindowProcedure, FullScreenModeThatFailsTheTestIsRefused)
{
    CountingModes modes;
    modes.accept = false;
    app->setDisplayModes(&modes);
    app->setMode(800, 600, 75, true);
    EXPECT_FALSE(app->applyVideoMode());
    EXPECT_EQ(modes.tests, 1);
    app->setDisplayModes(nullptr);
}

TEST(ApplicationObject, DestructorResetsTheCurrentSlide)
{
    kvPlayerItem item(1.0f, "", kvTextureIndex(), 0, 0.0f);
    g_currentItem = &item;
    {
        kvBaseGL app;
        EXPECT_EQ(app.getWidth(), 640);
        EXPECT_EQ(app.getHeight(), 480);
        EXPECT_FALSE(app.isFullscreen());
        EXPECT_FALSE(app.destroyAppWindow()); // nothing to destroy
        EXPECT_FALSE(app.releaseApi());
    }
    EXPECT_EQ(g_currentItem, nullptr);
}

// Space pauses the clock and the music together; a show left while paused
// starts its credits with the music playing, and Space in the credits
// pauses and resumes both again.
TEST_F(WindowProcedure, SpacePausesClockAndMusicAndTheCreditsStartPlaying)
{
    const std::string dir = scratchDir("pause");
    const uint32_t n = 44100 * 2;
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    writeFile(dir + "/song.wav", "RIFF" + u32(36 + 2 * n) + "WAVEfmt " + u32(16) + std::string("\1\0\1\0", 4)
                                     + u32(44100) + u32(88200) + std::string("\2\0\20\0", 4) + "data" + u32(2 * n)
                                     + std::string(2 * n, '\0'));
    writeFile(dir + "/show.xml", "<korvell><music>song.wav</music><image time=\"5\"/><image time=\"1\"/></korvell>");
    char home[4096];
    ASSERT_NE(getcwd(home, sizeof home), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    {
        kvRecordingRenderer renderer;
        kvShow show(renderer, "show.xml");
        g_app = app;
        ASSERT_TRUE(show.load());
        ASSERT_TRUE(show.getMusic().hasStream());
        show.start(0.0f);
        app->handleEvent(keyDown(SDLK_SPACE));
        EXPECT_TRUE(g_timer.isPaused());
        EXPECT_FALSE(show.getMusic().isPlaying());
        // Escape: the show ends, the credits begin on a running clock.
        show.endShow();
        g_timer.start();
        EXPECT_TRUE(show.getMusic().isPlaying());
        app->handleEvent(keyDown(SDLK_SPACE));
        EXPECT_TRUE(g_timer.isPaused());
        EXPECT_FALSE(show.getMusic().isPlaying());
        app->handleEvent(keyDown(SDLK_SPACE));
        EXPECT_FALSE(g_timer.isPaused());
        EXPECT_TRUE(show.getMusic().isPlaying());
        show.getMusic().stop();
        g_app = nullptr;
    }
    ASSERT_EQ(chdir(home), 0);
}
