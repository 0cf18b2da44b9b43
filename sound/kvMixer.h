// The show's music as one stream: any span of output frames mixed from the
// playlist's tracks, each read at its own position, so a reader that seeks
// (live: Next, Previous, --watch) hears exactly what a reader from the
// start (the render) hears there.
#pragma once

#include <memory>
#include <vector>

#include "sound/kvPlaylist.h"
#include "sound/kvTrackReader.h"

namespace Korvell {

// A clip's sound in the mix, in output frames.
struct kvVoice {
    std::unique_ptr<kvTrackReader> reader;
    long long start = 0;  // the output frame it begins at
    long long from = 0;   // its first frame in the reader (the trimmed start)
    long long frames = 0; // how long it plays
    float volume = 1.0f;
    float duck = 1.0f; // the music's level under it
};

class kvMixer {
public:
    // The music falls to a clip's duck over this many frames before its
    // sound and rises back over as many after it (0.5 s).
    static constexpr long long kDuckRamp = kOutputRate / 2;
    // A clip's sound begins and ends with a fade this long (10 ms), so a
    // cut is not a click.
    static constexpr long long kVoiceFade = kOutputRate / 100;

    // One reader per track of the music; a null one (a track that cannot
    // be read) takes no time.
    kvMixer(std::vector<std::unique_ptr<kvTrackReader>> readers, double crossfade, double fadeout);

    const kvPlaylist& playlist() const { return timeline; }
    // See kvPlaylist::setEnd, in seconds.
    void setEnd(double seconds);
    // `count` stereo frames from output frame `from` (silence around and
    // between the tracks).
    void mix(long long from, int count, float* stereo);
    // A clip's sound over the music (one without a reader takes none).
    void addVoice(kvVoice voice);
    size_t voiceCount() const { return voices.size(); }
    // The music's level at an output frame under the clips' sounds: 1
    // where none plays, its duck (the lowest of them) while one does.
    float duckAt(long long frame) const;

private:
    // Mixes voice v into `stereo` (count frames from output frame `from`).
    void mixVoice(kvVoice& v, long long from, int count, float* stereo);

    std::vector<std::unique_ptr<kvTrackReader>> readers;
    std::vector<kvVoice> voices;
    std::vector<long long> voiceCursor;
    kvPlaylist timeline;
    std::vector<long long> cursor; // the frame each reader reads next
    std::vector<float> scratch;
};

} // namespace Korvell
