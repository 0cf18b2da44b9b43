// The show clock: a stopwatch over a 32-bit millisecond tick counter.
// Differences are taken modulo 2^32 so a wrap of the counter is harmless.
// The tick source can be replaced so tests step time by hand.
#pragma once

#include <cstdint>

namespace Korvell {

class kvTimer {
public:
    typedef uint32_t (*TickSource)();

    kvTimer();
    virtual ~kvTimer();

    void start();
    void stop();
    float elapsed() const;
    void setElapsed(float seconds);
    bool isRunning() const { return running; }

    // Tests install their own counter; nullptr restores the platform's.
    static void setTickSource(TickSource source);
    static uint32_t ticks();

private:
    uint32_t startTick;
    uint32_t mark;
    bool running;
};

extern kvTimer g_timer;

} // namespace Korvell
