// What --beats needs of a beat tracker: sound fed in order, the times of
// its beats and onsets out. The tracker (aubio) lives in a module of its
// own, korvell-beats.so, because it brings FFmpeg with it.
#pragma once

#include <vector>

namespace Korvell {

class kvBeatFinder {
public:
    virtual ~kvBeatFinder() {}
    // The next `frames` mono samples.
    virtual void feed(const float* mono, int frames) = 0;
    // Seconds from the first sample fed, ascending: beats and onsets.
    virtual std::vector<double> beats() const = 0;
};

#define KORVELL_BEATS_ENTRY "korvell_make_beat_finder"
extern "C" typedef kvBeatFinder* (*kvMakeBeatFinder)(int rate);

} // namespace Korvell
