// Where the pictures change when they change on the music's beats: each
// change on the beat nearest the even share of the music, every picture
// between 2 and 10 s (no beat in reach: the share itself).
#pragma once

#include <cstddef>
#include <vector>

namespace Korvell {

const double kLeastBeatSeconds = 2.0, kMostBeatSeconds = 10.0;

// Each of `slides` pictures' seconds, for beats (ascending seconds) of
// music lasting `musicSeconds`. A slide whose `fixed` seconds are above 0
// (a clip's) lasts that long; the pictures share the rest of the music.
std::vector<double> beatSlideTimes(const std::vector<double>& beats, size_t slides, double musicSeconds,
                                   const std::vector<double>& fixed = {});

} // namespace Korvell
