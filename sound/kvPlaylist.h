// The show's music as a timeline: where each track starts at the output
// rate, how the crossfade between two tracks and the fade at the end weigh
// it. Knows lengths only, so live play, the render and --check agree.
#pragma once

#include <string>
#include <vector>

namespace Korvell {

// Every track is resampled to this rate, live and rendered.
constexpr int kOutputRate = 48000;

// A clip's sound in the show: from `from` seconds into the clip, for
// `seconds`, starting at show time `start`; its level, and the music's
// under it.
struct kvClipSound {
    std::string file;
    double start = 0.0;
    double from = 0.0;
    double seconds = 0.0;
    float volume = 1.0f;
    float duck = 1.0f;
    bool operator==(const kvClipSound& o) const
    {
        return file == o.file && start == o.start && from == o.from && seconds == o.seconds && volume == o.volume
               && duck == o.duck;
    }
};

// What the script asks for: one music element is a playlist of one track;
// the clips' sounds play over it.
struct kvMusic {
    std::vector<std::string> tracks; // as the script names them
    double crossfade = 0.0;          // seconds between two tracks
    double fadeout = 0.0;            // seconds before the music's end
    int line = 0;                    // of the element, for the checker
    std::vector<kvClipSound> clips;
    bool empty() const { return tracks.empty(); }
    bool operator==(const kvMusic& o) const
    {
        return tracks == o.tracks && crossfade == o.crossfade && fadeout == o.fadeout && clips == o.clips;
    }
};

class kvPlaylist {
public:
    // Lengths in output frames; a track of length 0 (unreadable) takes no
    // time. Each crossfade is held to half of either track it joins.
    kvPlaylist(const std::vector<long long>& lengths, double crossfade, double fadeout);
    kvPlaylist() : kvPlaylist({}, 0.0, 0.0) {}

    // Where the show ends (its credits included): the music stops there,
    // faded over the fadeout before it. Unset, it plays to its own end.
    void setEnd(long long frame) { end = frame; }
    size_t size() const { return starts.size(); }
    long long startOf(size_t track) const { return starts[track]; }
    long long lengthOf(size_t track) const { return lengths[track]; }
    // The end of the last track.
    long long total() const;
    // The track's weight at an output frame: 0 outside it, ramps of
    // crossfades (linear: half of each at the midpoint), and the fadeout.
    float gain(size_t track, long long frame) const;

private:
    std::vector<long long> lengths, starts, fadeIn, fadeOut;
    long long fadeoutFrames;
    long long end = -1;
};

} // namespace Korvell
