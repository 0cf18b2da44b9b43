// The conversion's arithmetic: BT.709 coefficients scaled to limited range
// (Y 16 to 235, U and V 16 to 240), in 16-bit fixed point, rounded.
#include "export/kvYuvConverter.h"

namespace Korvell {

namespace {

// 219 / 255 and 224 / 255 of Kr = 0.2126, Kb = 0.0722 and their colour
// differences, times 65536.
const int kYr = 11966, kYg = 40254, kYb = 4064;
const int kUr = -6596, kUg = -22189, kUb = 28784;
const int kVr = 28784, kVg = -26145, kVb = -2639;

inline uint8_t luma(const uint8_t* p)
{
    return static_cast<uint8_t>((kYr * p[2] + kYg * p[1] + kYb * p[0] + (16 << 16) + (1 << 15)) >> 16);
}

} // namespace

void bgraToYuv420(const uint8_t* bgra, int stride, int width, int height, const kvYuvPlanes& out)
{
    for (int row = 0; row + 1 < height; row += 2) {
        const uint8_t* a = bgra + static_cast<long>(row) * stride;
        const uint8_t* b = a + stride;
        uint8_t* ya = out.y + static_cast<long>(row) * out.yStride;
        uint8_t* yb = ya + out.yStride;
        uint8_t* u = out.u + static_cast<long>(row / 2) * out.uStride;
        uint8_t* v = out.v + static_cast<long>(row / 2) * out.vStride;
        for (int x = 0; x < width; ++x) {
            ya[x] = luma(a + 4 * x);
            yb[x] = luma(b + 4 * x);
        }
        for (int x = 0; x + 1 < width; x += 2) {
            // The 2 x 2 block's mean colour, kept as a sum of four.
            const int r = a[4 * x + 2] + a[4 * x + 6] + b[4 * x + 2] + b[4 * x + 6];
            const int g = a[4 * x + 1] + a[4 * x + 5] + b[4 * x + 1] + b[4 * x + 5];
            const int bl = a[4 * x] + a[4 * x + 4] + b[4 * x] + b[4 * x + 4];
            u[x / 2] = static_cast<uint8_t>((kUr * r + kUg * g + kUb * bl + (128 << 18) + (1 << 17)) >> 18);
            v[x / 2] = static_cast<uint8_t>((kVr * r + kVg * g + kVb * bl + (128 << 18) + (1 << 17)) >> 18);
        }
    }
}

} // namespace Korvell
