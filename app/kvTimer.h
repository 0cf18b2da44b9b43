// The show clock: a stopwatch over a 32-bit millisecond tick counter.
// Differences are taken modulo 2^32 so a wrap of the counter is harmless.
// Each timer has its own tick source: the platform's counter, or a test's
// counter stepped by hand.
#pragma once

#include <cstdint>

#include "player/kvClock.h"

namespace Korvell {

class kvTimer : public kvClock {
public:
    typedef uint32_t (*TickSource)();
    // The platform's counter (SDL_GetTicks).
    static uint32_t platformTicks();

    explicit kvTimer(TickSource source = platformTicks);

    void start();
    void stop();
    float elapsed() const override;
    void setElapsed(float seconds) override;
    bool isRunning() const { return running; }

    // Beyond the show's original clock: pausing keeps the reading and
    // resuming goes on from it (start after stop begins again from zero);
    // startAt starts the clock reading exactly the given time.
    void pause();
    void resume();
    bool isPaused() const { return paused; }
    void startAt(float seconds);

private:
    TickSource ticks;
    uint32_t startTick;
    uint32_t mark;
    bool running;
    bool paused = false;
};

// The clock of the live show and credits.
extern kvTimer g_timer;

} // namespace Korvell
