// What the element handlers act on, handed to them through the parser:
// the player, the show's archive, the music player's loader and the setup
// dialog's Noise choice. The handlers reach nothing else of the program.
#pragma once

#include <functional>
#include <string>

namespace Korvell {

class kvDataFile;
class kvPlayer;

struct kvScriptContext {
    kvPlayer* player = nullptr;
    // The archive a datafile element opens (none: the element does nothing).
    kvDataFile* archive = nullptr;
    // Loads the show's music track (the music player's loadStream); empty
    // when there is no music player.
    std::function<bool(const std::string&)> loadMusic;
    // Whether the noise effect may be made at all.
    bool noiseEnabled = false;
};

} // namespace Korvell
