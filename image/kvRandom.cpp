// A linear congruential generator; the high bits are the better ones.
#include "image/kvRandom.h"

namespace Korvell {

namespace {
const uint32_t kStart = 1u;
}

uint32_t kvRandom::state = kStart;

int kvRandom::next()
{
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7fffu);
}

void kvRandom::reset() { state = kStart; }

} // namespace Korvell
