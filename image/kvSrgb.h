// sRGB's curve, both ways, and its encode table: linear light, 0 to 1, in
// kSrgbSteps steps (a fifth of an 8-bit step at black) to 8 bits. Shared by
// the pictures' colour conversion and the clips' tone map.
#pragma once

#include <cstdint>

namespace Korvell {

const int kSrgbSteps = 16384;

double srgbToLinear(double encoded);
double srgbFromLinear(double linear);
// kSrgbSteps entries, built once.
const uint8_t* srgbEncodeTable();

} // namespace Korvell
