// Pictures made smaller: a decoded picture reduced into a texture by box
// averages, and the small, blurred, darkened copy a "blur" fit lays
// behind a picture.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvell {

class kvTexture;

// A picture of sw x sh pixels (bpp bytes each, rows `stride` apart) into
// the texture's picture area (made already), averaging boxes when the
// texture is smaller.
void reduceInto(const uint8_t* source, int sw, int sh, size_t stride, int bpp, kvTexture& into);

// The blurred, darkened copy of a decoded picture (its pixels still in
// memory) into an empty texture: at most kBlurSide pixels on its longer
// side, RGB (a transparent picture over black). False when it cannot be made.
const int kBlurSide = 32;
bool makeBlurred(const kvTexture& picture, kvTexture& into);

} // namespace Korvell
