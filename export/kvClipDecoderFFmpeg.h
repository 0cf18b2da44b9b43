// Video clips through FFmpeg, in the encoder's module: a decoder, and a
// clip's facts read from its headers.
#pragma once

#include <memory>
#include <string>

#include "image/kvClipDecoder.h"

namespace Korvell {

std::unique_ptr<kvClipDecoder> makeClipDecoder();
// False with the reason when it is not a clip this machine can decode.
bool probeClipFile(const std::string& file, kvClipFacts* facts, std::string* reason);

} // namespace Korvell
