// Mixing the playlist.
#include "sound/kvMixer.h"

#include <algorithm>
#include <cmath>

namespace Korvell {

namespace {

std::vector<long long> lengthsOf(const std::vector<std::unique_ptr<kvTrackReader>>& readers)
{
    std::vector<long long> lengths;
    for (const auto& r : readers) lengths.push_back(r ? std::max(0LL, r->frames()) : 0);
    return lengths;
}

} // namespace

kvMixer::kvMixer(std::vector<std::unique_ptr<kvTrackReader>> readers_, double crossfade, double fadeout)
    : readers(std::move(readers_)), timeline(lengthsOf(readers), crossfade, fadeout), cursor(readers.size(), 0)
{
}

void kvMixer::setEnd(double seconds)
{
    if (seconds >= 0.0 && seconds < 1e7) timeline.setEnd(std::llround(seconds * kOutputRate));
}

void kvMixer::mix(long long from, int count, float* stereo)
{
    std::fill(stereo, stereo + 2 * static_cast<size_t>(std::max(0, count)), 0.0f);
    if (count <= 0) return;
    const long long to = from + count;
    for (size_t i = 0; i < readers.size(); ++i) {
        const long long start = timeline.startOf(i), length = timeline.lengthOf(i);
        const long long a = std::max(from, start), b = std::min(to, start + length);
        if (!readers[i] || a >= b) continue;
        const long long local = a - start;
        if (cursor[i] != local) {
            if (!readers[i]->seek(local)) continue;
            cursor[i] = local;
        }
        const int want = static_cast<int>(b - a);
        scratch.resize(2 * static_cast<size_t>(want));
        const int got = std::max(0, readers[i]->read(scratch.data(), want));
        cursor[i] += got;
        float* out = stereo + 2 * (a - from);
        for (int k = 0; k < got; ++k) {
            const float g = timeline.gain(i, a + k);
            out[2 * k] += g * scratch[2 * static_cast<size_t>(k)];
            out[2 * k + 1] += g * scratch[2 * static_cast<size_t>(k) + 1];
        }
    }
}

} // namespace Korvell
