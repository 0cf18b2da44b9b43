// The render's colour conversion against BT.709's own formulas (limited
// range), for flat colours, a 2 x 2 block's mean chroma and rows given
// bottom up; and its agreement with libswscale over a photo-like frame.
#include <gtest/gtest.h>

extern "C" {
#include <libswscale/swscale.h>
}

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

TEST(YuvConverter, AgreesWithLibswscaleOnAPhotoLikeFrame)
{
    const int w = 320, h = 180;
    std::vector<uint8_t> bgra(w * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &bgra[(y * w + x) * 4];
            p[0] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.05));
            p[1] = static_cast<uint8_t>(128 + 100 * std::cos(y * 0.07));
            p[2] = static_cast<uint8_t>((x + y) % 256);
            p[3] = 255;
        }
    std::vector<uint8_t> Y(w * h), U(w * h / 4), V(w * h / 4), sy(w * h), su(w * h / 4), sv(w * h / 4);
    bgraToYuv420(bgra.data(), w * 4, w, h, {Y.data(), U.data(), V.data(), w, w / 2, w / 2});
    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_YUV420P, SWS_POINT | SWS_ACCURATE_RND,
                                     nullptr, nullptr, nullptr);
    ASSERT_NE(sws, nullptr);
    const int* c = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(sws, c, 1, c, 0, 0, 1 << 16, 1 << 16);
    const uint8_t* in[1] = {bgra.data()};
    const int inStride[1] = {w * 4};
    uint8_t* out[3] = {sy.data(), su.data(), sv.data()};
    const int outStride[3] = {w, w / 2, w / 2};
    sws_scale(sws, in, inStride, 0, h, out, outStride);
    sws_freeContext(sws);
    int worstY = 0;
    for (size_t i = 0; i < Y.size(); ++i) worstY = std::max(worstY, std::abs(Y[i] - sy[i]));
    EXPECT_LE(worstY, 1);
    // Chroma: libswscale samples its own way; a smooth frame agrees closely.
    double sum = 0;
    for (size_t i = 0; i < U.size(); ++i) sum += std::abs(U[i] - su[i]) + std::abs(V[i] - sv[i]);
    EXPECT_LT(sum / (2.0 * U.size()), 2.0);
}
