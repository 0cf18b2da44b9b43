// The show clock as the player and the credits see it: seconds since their
// loop began, and a way to move it (the player's back step). The live show
// runs on kvTimer over the platform's millisecond counter; tests and the
// video export hand in clocks of their own.
#pragma once

namespace Korvell {

class kvClock {
public:
    virtual ~kvClock() {}
    virtual float elapsed() const = 0;
    virtual void setElapsed(float seconds) = 0;
};

} // namespace Korvell
