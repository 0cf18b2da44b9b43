// The decoders behind decodePicture for the formats without DCT scaling:
// WebP (libwebp; an animation's first frame) and HEIC and AVIF (libheif,
// the file's own rotation and mirroring applied). Each decodes whole and
// reduces to the planned size; alpha keeps a fourth byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvell {

class kvTexture;
struct kvColourTag;
struct kvDecodePlan;
struct kvPictureInfo;

bool decodeWebp(const std::vector<uint8_t>& bytes, const kvPictureInfo& info, const kvDecodePlan& plan,
                kvTexture& into, std::string* reason);
// The file's colour description (an ICC profile, or nclx primaries and
// curve) comes in `colour`.
bool decodeHeif(const std::vector<uint8_t>& bytes, const kvPictureInfo& info, const kvDecodePlan& plan,
                kvTexture& into, kvColourTag& colour, std::string* reason);

} // namespace Korvell
