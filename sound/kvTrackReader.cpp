// Reading a track through, whatever decodes it.
#include "sound/kvTrackReader.h"

#include <vector>

namespace Korvell {

bool kvTrackReader::decodesWhole(std::string* reason)
{
    if (!seek(0)) {
        if (reason) *reason = "cannot be decoded: it cannot be read from its start";
        return false;
    }
    std::vector<float> chunk(2 * 65536);
    long long got = 0;
    for (int n; (n = read(chunk.data(), 65536)) > 0;) got += n;
    seek(0);
    // A resampler's edge and a format's padding are a few milliseconds.
    if (got < frames() - frames() / 100 - 4800) {
        if (reason)
            *reason = "cannot be decoded: it ends after " + std::to_string(got / 48000) + " of its "
                      + std::to_string(frames() / 48000) + " s";
        return false;
    }
    return true;
}

} // namespace Korvell
