// Korvell's 15-bit pseudo-random generator for the noise overlay. It is
// never seeded from the clock: every run repeats the same sequence.
#pragma once

#include <cstdint>

namespace Korvell {

class kvRandom {
public:
    static const int MAX = 32767;
    // The next value, 0 to 32767.
    static int next();
    // Back to the fixed start (tests only).
    static void reset();

private:
    static uint32_t state;
};

} // namespace Korvell
