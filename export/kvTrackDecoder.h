// A music file libsndfile does not read (AAC in MP4 or M4A, Opus or Vorbis
// in WebM or Matroska, WMA and the rest FFmpeg reads) as a track at the
// output rate. It lives in the encoder's module, so FFmpeg is loaded only
// for such a file, and the render and the live show read it alike.
#pragma once

#include <memory>
#include <string>

#include "sound/kvTrackReader.h"

namespace Korvell {

// Null with the reason when it cannot be decoded.
std::unique_ptr<kvTrackReader> openTrackDecoder(const std::string& file, std::string* reason);

// The module's entry for it: a new track owned by the caller, or null.
#define KORVELL_TRACK_ENTRY "korvell_open_track"
extern "C" typedef kvTrackReader* (*kvOpenTrack)(const std::string& file, std::string* reason);

} // namespace Korvell
