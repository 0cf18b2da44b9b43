// What the element handlers act on, handed to them through the parser:
// the player, the show's archive, where the music is told, and the setup
// dialog's Noise choice. The handlers reach nothing else of the program.
#pragma once

#include <functional>
#include <string>

#include "image/kvClipDecoder.h"
#include "sound/kvPlaylist.h"

namespace Korvell {

class kvDataFile;
class kvPlayer;

struct kvScriptContext {
    kvPlayer* player = nullptr;
    // The archive a datafile element opens (none: the element does nothing).
    kvDataFile* archive = nullptr;
    // Told the show's music, each time a music or playlist element is read.
    std::function<void(const kvMusic&)> setMusic;
    // Whether the noise effect may be made at all.
    bool noiseEnabled = false;
    // A clip's facts from its headers (its length, its sound); unset or
    // false: not known (a video element then needs its time given).
    std::function<bool(const std::string& file, kvClipFacts* facts)> probeClip;
};

} // namespace Korvell
