// One track decoded at the output rate as interleaved stereo floats: what
// the mixer reads, whatever decodes it (a sound file, or a test's tone).
#pragma once

#include <string>

namespace Korvell {

class kvTrackReader {
public:
    virtual ~kvTrackReader() {}
    // The length in output frames.
    virtual long long frames() const = 0;
    // Sets the next frame read; false when the track cannot go there.
    virtual bool seek(long long frame) = 0;
    // Up to `count` frames into `stereo`; fewer only at the end or on an
    // error.
    virtual int read(float* stereo, int count) = 0;
    // Reads it all from the start (and goes back there): false with the
    // reason when it ends well before its length or on an error.
    virtual bool decodesWhole(std::string* reason);
};

} // namespace Korvell
