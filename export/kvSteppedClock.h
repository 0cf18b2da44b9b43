// The render's clock: frame n reads exactly n / fps (from a start time),
// never the time of day, so the video shows the same show however fast
// or slowly it is drawn.
#pragma once

#include "player/kvClock.h"

namespace Korvell {

class kvSteppedClock : public kvClock {
public:
    kvSteppedClock(int fps_, double start_ = 0.0) : fps(fps_), start(start_) {}
    void setFrame(long long n) { frame = n; }
    long long getFrame() const { return frame; }
    float elapsed() const override { return static_cast<float>(start + static_cast<double>(frame) / fps); }
    // The player's back step never happens in a render; a jump restarts the
    // count at the frame nearest the time.
    void setElapsed(float seconds) override { frame = static_cast<long long>((seconds - start) * fps + 0.5); }

private:
    int fps;
    double start;
    long long frame = 0;
};

} // namespace Korvell
