// Faces in a grey picture, by dlib's frontal face detector. Kept apart
// from the rest of the finder because it is dlib's code, compiled as a
// library's is (see CMakeLists.txt).
#pragma once

#include <cstdint>
#include <vector>

#include "math/kvRegion.h"

namespace Korvell {

// Each face found in the w x h grey pixels, from the brows to the chin, in
// fractions of the picture; none when `grey` does not hold w x h pixels.
std::vector<kvRegion> detectFaces(const std::vector<uint8_t>& grey, int w, int h);

} // namespace Korvell
