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

class kvMixer {
public:
    // One reader per track of the music; a null one (a track that cannot
    // be read) takes no time.
    kvMixer(std::vector<std::unique_ptr<kvTrackReader>> readers, double crossfade, double fadeout);

    const kvPlaylist& playlist() const { return timeline; }
    // See kvPlaylist::setEnd, in seconds.
    void setEnd(double seconds);
    // `count` stereo frames from output frame `from` (silence around and
    // between the tracks).
    void mix(long long from, int count, float* stereo);

private:
    std::vector<std::unique_ptr<kvTrackReader>> readers;
    kvPlaylist timeline;
    std::vector<long long> cursor; // the frame each reader reads next
    std::vector<float> scratch;
};

} // namespace Korvell
