// The video encoder, loaded from its module (korvell-encoder.so) when a
// render begins: FFmpeg and the hundred-odd libraries it brings are never
// loaded for a live show.
#pragma once

#include <memory>
#include <string>

#include "export/kvEncoder.h"

namespace Korvell {

// A new encoder, or null with the reason when the module cannot be
// loaded. The module is looked for beside the program (a build tree), then
// in ../lib/korvell/ from it (an installed one), or at KORVELL_ENCODER.
std::unique_ptr<kvEncoder> loadEncoder(std::string* error);

} // namespace Korvell
