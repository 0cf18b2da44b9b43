// BGRA frames to YUV 4:2:0, BT.709, limited range: the render's one colour
// conversion, done on the drawing thread as a frame is handed over (it
// writes a third of what a copy would), while the GL rasterises the next
// frame and the encoder's threads work on the frames before. Integer
// arithmetic, the same result everywhere (AVX2 or not).
#pragma once

#include <cstdint>

namespace Korvell {

struct kvYuvPlanes {
    uint8_t* y;
    uint8_t* u; // with v: one sample per 2 x 2 pixels
    uint8_t* v;
    int yStride, uStride, vStride;
};

// `width` and `height` even; `stride` may be negative (rows bottom up).
void bgraToYuv420(const uint8_t* bgra, int stride, int width, int height, const kvYuvPlanes& out);

} // namespace Korvell
