// The playlist's timeline.
#include "sound/kvPlaylist.h"

#include <algorithm>
#include <cmath>

namespace Korvell {

namespace {

long long framesOf(double seconds)
{
    if (!(seconds > 0.0)) return 0;
    return static_cast<long long>(std::llround(std::min(seconds, 86400.0) * kOutputRate));
}

} // namespace

kvPlaylist::kvPlaylist(const std::vector<long long>& lengths_, double crossfade, double fadeout)
    : lengths(lengths_), fadeoutFrames(framesOf(fadeout))
{
    const long long wanted = framesOf(crossfade);
    starts.assign(lengths.size(), 0);
    fadeIn.assign(lengths.size(), 0);
    fadeOut.assign(lengths.size(), 0);
    long long at = 0;
    long long previous = -1; // the last track that takes time
    for (size_t i = 0; i < lengths.size(); ++i) {
        lengths[i] = std::max(0LL, lengths[i]);
        if (lengths[i] == 0) {
            starts[i] = at;
            continue;
        }
        if (previous >= 0) {
            const long long s = std::min({wanted, lengths[static_cast<size_t>(previous)] / 2, lengths[i] / 2});
            at -= s;
            fadeOut[static_cast<size_t>(previous)] = s;
            fadeIn[i] = s;
        }
        starts[i] = at;
        at += lengths[i];
        previous = static_cast<long long>(i);
    }
}

long long kvPlaylist::total() const
{
    long long t = 0;
    for (size_t i = 0; i < lengths.size(); ++i) t = std::max(t, starts[i] + lengths[i]);
    return t;
}

float kvPlaylist::gain(size_t track, long long frame) const
{
    const long long local = frame - starts[track];
    if (local < 0 || local >= lengths[track]) return 0.0f;
    if (end >= 0 && frame >= end) return 0.0f;
    double g = 1.0;
    if (local < fadeIn[track]) g *= static_cast<double>(local) / static_cast<double>(fadeIn[track]);
    const long long left = lengths[track] - local;
    if (left < fadeOut[track]) g *= static_cast<double>(left) / static_cast<double>(fadeOut[track]);
    if (end >= 0 && fadeoutFrames > 0 && end - frame < fadeoutFrames)
        g *= static_cast<double>(end - frame) / static_cast<double>(fadeoutFrames);
    return static_cast<float>(g);
}

} // namespace Korvell
