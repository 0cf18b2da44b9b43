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
            const float g = timeline.gain(i, a + k) * (voices.empty() ? 1.0f : duckAt(a + k));
            out[2 * k] += g * scratch[2 * static_cast<size_t>(k)];
            out[2 * k + 1] += g * scratch[2 * static_cast<size_t>(k) + 1];
        }
    }
    for (kvVoice& v : voices) mixVoice(v, from, count, stereo);
}

void kvMixer::addVoice(kvVoice voice)
{
    if (!voice.reader || voice.frames <= 0 || voice.volume <= 0.0f) return;
    voices.push_back(std::move(voice));
    voiceCursor.push_back(-1);
}

float kvMixer::duckAt(long long frame) const
{
    float level = 1.0f;
    for (const kvVoice& v : voices) {
        const long long a = v.start, b = v.start + v.frames;
        if (frame <= a - kDuckRamp || frame >= b + kDuckRamp) continue;
        float w = 1.0f; // how far down: 1 under the sound, less on the ramps
        if (frame < a) w = static_cast<float>(frame - (a - kDuckRamp)) / kDuckRamp;
        else if (frame >= b) w = static_cast<float>(b + kDuckRamp - frame) / kDuckRamp;
        level = std::min(level, 1.0f - w * (1.0f - v.duck));
    }
    return level;
}

void kvMixer::mixVoice(kvVoice& v, long long from, int count, float* stereo)
{
    const size_t index = static_cast<size_t>(&v - voices.data());
    const long long a = std::max(from, v.start), b = std::min(from + count, v.start + v.frames);
    if (a >= b) return;
    const long long local = v.from + (a - v.start);
    if (voiceCursor[index] != local) {
        if (!v.reader->seek(local)) return;
        voiceCursor[index] = local;
    }
    const int want = static_cast<int>(b - a);
    scratch.resize(2 * static_cast<size_t>(want));
    const int got = std::max(0, v.reader->read(scratch.data(), want));
    voiceCursor[index] += got;
    float* out = stereo + 2 * (a - from);
    for (int k = 0; k < got; ++k) {
        const long long at = a + k - v.start; // frames into the voice
        const long long edge = std::min(at, v.frames - 1 - at);
        const float fade = edge < kVoiceFade ? static_cast<float>(edge + 1) / (kVoiceFade + 1) : 1.0f;
        const float g = v.volume * fade;
        out[2 * k] += g * scratch[2 * static_cast<size_t>(k)];
        out[2 * k + 1] += g * scratch[2 * static_cast<size_t>(k) + 1];
    }
}

} // namespace Korvell
