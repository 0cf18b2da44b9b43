// Korvell's modules, loaded when first needed: the video encoder
// (korvell-encoder.so, FFmpeg: also clips and the odd music file) when a
// render begins or a clip is first met, the beat finder
// (korvell-beats.so) for --beats. FFmpeg and the hundred-odd libraries
// both bring are never loaded for a live show.
#pragma once

#include <memory>
#include <string>

#include "export/kvEncoder.h"
#include "image/kvClipDecoder.h"
#include "sound/kvBeatFinder.h"
#include "sound/kvTrackReader.h"

namespace Korvell {

// A new encoder, or null with the reason when the module cannot be
// loaded. The module is looked for at KORVELL_ENCODER, beside the program
// (a build tree), in ../lib/<multiarch>/korvell/ from it (an installed
// one), then in that folder of the prefix it was installed to (where the
// program's own path cannot be read: a chroot without /proc).
std::unique_ptr<kvEncoder> loadEncoder(std::string* error);
// A beat finder for sound at `rate` (korvell-beats.so, or KORVELL_BEATS).
std::unique_ptr<kvBeatFinder> loadBeatFinder(int rate, std::string* error);
// A clip's decoder from the module, or null with the reason; a clip's facts
// from its headers (false with the reason).
std::unique_ptr<kvClipDecoder> makeClipDecoderInModule(std::string* reason);
bool probeClipInModule(const std::string& file, kvClipFacts* facts, std::string* reason);
// A music file through the encoder module's FFmpeg decoder; null with the
// reason (the module's own when it cannot be loaded).
std::unique_ptr<kvTrackReader> openTrackInModule(const std::string& file, std::string* reason);

} // namespace Korvell
