// A music track from its file, whatever it is: libsndfile reads the common
// formats; what it does not know goes to FFmpeg, in the encoder's module,
// loaded only then. Live play, the render, --check and --beats open music
// here, so all four read the same files alike.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sound/kvMixer.h"
#include "sound/kvPlaylist.h"
#include "sound/kvTrackReader.h"

namespace Korvell {

// Null with the reason when the file cannot be played.
std::unique_ptr<kvTrackReader> openMusicTrack(const std::string& file, std::string* reason);

// The clips' sounds of a show's music, each ready to mix (FFmpeg, in the
// module); one that cannot be read is told to `report` and left out.
std::vector<kvVoice> openClipVoices(const kvMusic& music, const std::function<void(const std::string& line)>& report);

} // namespace Korvell
