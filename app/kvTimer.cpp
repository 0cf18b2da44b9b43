// Show clock over SDL_GetTicks (or a test's counter).
#include "app/kvTimer.h"

#include <SDL.h>
#include <cmath>

namespace Korvell {

kvTimer g_timer;

namespace {

// Float to int without the undefined behaviour of an out-of-range cast.
int32_t truncateToInt(double v)
{
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int32_t>(v);
}
} // namespace

uint32_t kvTimer::platformTicks() { return SDL_GetTicks(); }

kvTimer::kvTimer(TickSource source) : ticks(source ? source : platformTicks), startTick(0), mark(0), running(false) {}

void kvTimer::start()
{
    paused = false;
    if (running) return;
    running = true;
    startTick = ticks();
}

void kvTimer::pause()
{
    if (!running) return;
    stop();
    paused = true;
}

void kvTimer::resume()
{
    if (!paused) return;
    paused = false;
    running = true;
    startTick = ticks() - mark;
}

void kvTimer::startAt(float seconds)
{
    paused = false;
    running = true;
    const double ms = seconds > 0.0f ? static_cast<double>(seconds) * 1000.0 : 0.0;
    startTick = ticks() - static_cast<uint32_t>(ms < 4.0e9 ? ms + 0.5 : 4.0e9);
}

void kvTimer::stop()
{
    if (!running) return;
    running = false;
    mark = ticks() - startTick;
}

float kvTimer::elapsed() const
{
    if (running) {
        uint32_t diff = ticks() - startTick;
        return static_cast<float>(static_cast<double>(diff) / 1000.0);
    }
    return static_cast<float>(static_cast<double>(mark) / 1000.0);
}

void kvTimer::setElapsed(float seconds)
{
    if (running) {
        // The new start lies on a whole second of the tick counter. Rounded
        // down, not toward zero: SDL's counter starts near 0 with the
        // program, and a start before it must still read at least `seconds`.
        int32_t whole = truncateToInt(std::floor(static_cast<double>(ticks()) / 1000.0 - seconds));
        startTick = static_cast<uint32_t>(whole) * 1000u;
    } else {
        mark = static_cast<uint32_t>(truncateToInt(seconds)) * 1000u;
    }
}

} // namespace Korvell
