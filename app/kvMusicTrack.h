// A music track from its file, whatever it is: libsndfile reads the common
// formats; what it does not know goes to FFmpeg, in the encoder's module,
// loaded only then. Live play, the render, --check and --beats open music
// here, so all four read the same files alike.
#pragma once

#include <memory>
#include <string>

#include "sound/kvTrackReader.h"

namespace Korvell {

// Null with the reason when the file cannot be played.
std::unique_ptr<kvTrackReader> openMusicTrack(const std::string& file, std::string* reason);

} // namespace Korvell
