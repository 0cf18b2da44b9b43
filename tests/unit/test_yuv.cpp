// The render's colour conversion against BT.709's own formulas (limited
// range), for flat colours, a 2 x 2 block's mean chroma and rows given
// bottom up.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "export/kvYuvConverter.h"

using namespace Korvell;

namespace {

struct Yuv {
    double y, u, v;
};

Yuv bt709(double r, double g, double b)
{
    const double Y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    return {16 + 219 * Y / 255, 128 + 224 * (b - Y) / 1.8556 / 255, 128 + 224 * (r - Y) / 1.5748 / 255};
}

} // namespace

TEST(YuvConverter, FlatColoursBlocksAndRowOrderAsBT709Says)
{
    const int w = 4, h = 2;
    struct Case {
        int r, g, b;
    } cases[] = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {128, 128, 128}, {51, 153, 230}};
    for (const Case& c : cases) {
        for (int order : {1, -1}) {
            std::vector<uint8_t> bgra(w * h * 4);
            for (int i = 0; i < w * h; ++i) {
                bgra[4 * i] = static_cast<uint8_t>(c.b);
                bgra[4 * i + 1] = static_cast<uint8_t>(c.g);
                bgra[4 * i + 2] = static_cast<uint8_t>(c.r);
                bgra[4 * i + 3] = 255;
            }
            // The right 2 x 2 block: half white, so its chroma is the mean.
            for (int y = 0; y < 2; ++y) {
                uint8_t* p = &bgra[(y * w + 2 + y) * 4];
                p[0] = p[1] = p[2] = 255;
            }
            std::vector<uint8_t> Y(w * h), U(w / 2), V(w / 2);
            const uint8_t* first = order > 0 ? bgra.data() : bgra.data() + (h - 1) * w * 4;
            bgraToYuv420(first, order * w * 4, w, h, {Y.data(), U.data(), V.data(), w, w / 2, w / 2});
            const Yuv flat = bt709(c.r, c.g, c.b);
            EXPECT_NEAR(Y[0], flat.y, 0.51) << c.r << "," << c.g << "," << c.b;
            EXPECT_NEAR(U[0], flat.u, 0.51) << c.r << "," << c.g << "," << c.b;
            EXPECT_NEAR(V[0], flat.v, 0.51) << c.r << "," << c.g << "," << c.b;
            const Yuv mean = bt709((c.r + 255) / 2.0, (c.g + 255) / 2.0, (c.b + 255) / 2.0);
            EXPECT_NEAR(U[1], mean.u, 0.76) << c.r << "," << c.g << "," << c.b;
            EXPECT_NEAR(V[1], mean.v, 0.76) << c.r << "," << c.g << "," << c.b;
            EXPECT_EQ(Y[order > 0 ? 2 : 3], 235) << "white, on the first row given";
        }
    }
}

// Any picture, any width: every pixel's luma and every block's chroma
// within rounding of the formulas, whichever way the rows are converted
// (eight pixels at a time where the processor can, the rest one by one).
TEST(YuvConverter, EveryPixelOfAnyWidthWithinRounding)
{
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    for (int w : {2, 8, 14, 38, 1280}) {
        const int h = 4;
        std::vector<uint8_t> bgra(static_cast<size_t>(w) * h * 4);
        for (uint8_t& c : bgra) c = next();
        for (int order : {1, -1}) {
            std::vector<uint8_t> Y(w * h), U(w / 2 * h / 2), V(w / 2 * h / 2);
            const uint8_t* first = order > 0 ? bgra.data() : bgra.data() + (h - 1) * w * 4;
            bgraToYuv420(first, order * w * 4, w, h, {Y.data(), U.data(), V.data(), w, w / 2, w / 2});
            auto pixel = [&](int x, int row) { return &first[static_cast<long>(row) * order * w * 4 + x * 4]; };
            int wrong = 0;
            for (int row = 0; row < h; ++row)
                for (int x = 0; x < w; ++x) {
                    const uint8_t* p = pixel(x, row);
                    wrong += std::fabs(Y[row * w + x] - bt709(p[2], p[1], p[0]).y) > 0.51;
                }
            for (int row = 0; row < h; row += 2)
                for (int x = 0; x < w; x += 2) {
                    double sum[3] = {0, 0, 0};
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx)
                            for (int c = 0; c < 3; ++c) sum[c] += pixel(x + dx, row + dy)[c] / 4.0;
                    const Yuv mean = bt709(sum[2], sum[1], sum[0]);
                    const int i = row / 2 * (w / 2) + x / 2;
                    wrong += std::fabs(U[i] - mean.u) > 0.51 || std::fabs(V[i] - mean.v) > 0.51;
                }
            EXPECT_EQ(wrong, 0) << "width " << w << ", rows " << (order > 0 ? "top first" : "bottom first");
        }
    }
}
