// Choosing the changes of picture among the beats.
#include "sound/kvBeatCuts.h"

#include <algorithm>
#include <cmath>

namespace Korvell {

std::vector<double> beatSlideTimes(const std::vector<double>& beats, size_t slides, double musicSeconds,
                                   const std::vector<double>& fixed)
{
    std::vector<double> times;
    if (slides == 0) return times;
    double fixedSeconds = 0.0;
    size_t free = slides;
    for (size_t n = 0; n < slides && n < fixed.size(); ++n)
        if (fixed[n] > 0.0) {
            fixedSeconds += fixed[n];
            --free;
        }
    const double rest = musicSeconds - fixedSeconds;
    const double share = rest > 0.0 && free > 0 ? rest / static_cast<double>(free) : 5.0;
    const double target = std::min(kMostBeatSeconds, std::max(kLeastBeatSeconds, share));
    double at = 0.0;
    auto next = beats.begin();
    for (size_t n = 0; n < slides; ++n) {
        if (n < fixed.size() && fixed[n] > 0.0) {
            times.push_back(fixed[n]);
            at += fixed[n];
            continue;
        }
        const double ideal = at + target, first = at + kLeastBeatSeconds, last = at + kMostBeatSeconds;
        next = std::lower_bound(next, beats.end(), first);
        double cut = ideal;
        double best = -1.0;
        for (auto b = next; b != beats.end() && *b <= last; ++b)
            if (best < 0.0 || std::fabs(*b - ideal) < std::fabs(best - ideal)) best = *b;
        if (best >= 0.0) cut = best;
        times.push_back(cut - at);
        at = cut;
    }
    return times;
}

} // namespace Korvell
