// HDR and BT.2020 clips on the sRGB screen: below the curve's knee light
// is kept as it was mastered, above it squeezed in order up to the
// screen's white; a real 10-bit HLG clip made by ffmpeg keeps its ramp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "export/kvClipDecoderFFmpeg.h"
#include "image/kvClipDecoder.h"
#include "image/kvToneMap.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

const int kBt709 = 1, kBt2020 = 9, kPq = 16, kHlg = 18, kSrgb = 13;

// SMPTE ST 2084's signal for a light, and sRGB's 8 bits for a light
// relative to the screen's white, written out from their definitions.
double pqSignal(double nits)
{
    const double m1 = 0.1593017578125, m2 = 78.84375, c1 = 0.8359375, c2 = 18.8515625, c3 = 18.6875;
    const double y = std::pow(nits / 10000, m1);
    return std::pow((c1 + c2 * y) / (1 + c3 * y), m2);
}
int srgb8(double light)
{
    light = std::min(1.0, light);
    return static_cast<int>(std::lround(255 * (light <= 0.0031308 ? 12.92 * light : 1.055 * std::pow(light, 1 / 2.4) - 0.055)));
}

// One grey pixel of a 16-bit signal through the map.
int grey(const kvToneMap& map, double signal)
{
    const uint16_t v = static_cast<uint16_t>(std::lround(signal * 65535));
    const uint16_t in[4] = {v, v, v, 65535};
    uint8_t out[4];
    map.convertRow(in, out, 1);
    EXPECT_TRUE(out[0] == out[1] && out[1] == out[2]) << "a grey stays grey";
    return out[0];
}

} // namespace

// And BT.2020's primaries brought to BT.709's, for SDR clips too.
TEST(ToneMap, LightBelowTheKneeIsKeptAndAboveItSqueezedInOrder)
{
    const kvToneMap pq(kBt2020, kPq, 1000), sdr(kBt709, kSrgb, 0), hlg(kBt2020, kHlg, 0);
    EXPECT_FALSE(sdr.needed());
    ASSERT_TRUE(pq.needed() && pq.isHdr() && hlg.isHdr());
    EXPECT_DOUBLE_EQ(hlg.peak(), 1000);
    // A PQ grey at 5, 20, 50 and 80 cd/m2 shows that light on the screen
    // (its white at 203); within a step of the 12-bit tables.
    for (double nits : {5.0, 20.0, 50.0, 80.0}) {
        SCOPED_TRACE(nits);
        EXPECT_NEAR(pq.map(nits), nits, 0.01);
        EXPECT_NEAR(grey(pq, pqSignal(nits)), srgb8(nits / 203), 1);
    }
    // Above the knee: lower than it came, rising, the peak at white.
    double last = 0;
    for (double nits = 100; nits <= 1000; nits += 50) {
        const double shown = pq.map(nits);
        EXPECT_GT(shown, last);
        EXPECT_LT(shown, nits);
        last = shown;
    }
    EXPECT_NEAR(pq.map(1000), 203, 0.5);
    EXPECT_EQ(grey(pq, pqSignal(1000)), 255);
    EXPECT_EQ(grey(pq, 1.0), 255); // past the peak: white, not wrapped
    // A brighter master keeps less of the same light: its knee is lower.
    EXPECT_LT(kvToneMap(kBt2020, kPq, 4000).map(400), pq.map(400));
    // HLG's grey ramp rises, black at 0, its nominal peak at white; half
    // signal is 1000 x (0.25/3)^1.2 = 50.7 cd/m2 on its display, kept.
    int previous = -1;
    for (int i = 0; i <= 20; ++i) {
        const int v = grey(hlg, i / 20.0);
        EXPECT_GE(v, previous) << i;
        previous = v;
    }
    EXPECT_EQ(grey(hlg, 0), 0);
    EXPECT_EQ(grey(hlg, 1), 255);
    EXPECT_NEAR(grey(hlg, 0.5), srgb8(1000 * std::pow(0.25 / 3, 1.2) / 203), 1);
    // Reference white (75 %, 203 cd/m2) is squeezed to 160 cd/m2: 229 of 255.
    EXPECT_NEAR(hlg.map(203), 160, 1);
    EXPECT_NEAR(grey(hlg, 0.75), 229, 1);

    const kvToneMap wide(kBt2020, kSrgb, 0);
    ASSERT_TRUE(wide.needed());
    EXPECT_FALSE(wide.isHdr());
    struct Case {
        uint16_t in[4];
        int out[3];
    } cases[] = {
        {{65535, 65535, 65535, 65535}, {255, 255, 255}}, // white stays
        {{0, 0, 0, 65535}, {0, 0, 0}},
        {{0, 65535, 0, 65535}, {0, 255, 0}},   // BT.2020's green is past BT.709's: clipped to it
        {{32768, 32768, 32768, 65535}, {128, 128, 128}},
    };
    for (const Case& c : cases) {
        uint8_t out[4];
        wide.convertRow(c.in, out, 1);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], c.out[k], 1) << c.in[0] << "," << c.in[1] << "," << c.in[2];
    }
    // A mid BT.2020 red is a stronger BT.709 red than its numbers say.
    const uint16_t red[4] = {40000, 10000, 10000, 65535};
    uint8_t out[4];
    wide.convertRow(red, out, 1);
    EXPECT_GT(out[0], 40000 / 257);
    EXPECT_LT(out[1], 10000 / 257);
}

// A 10-bit HLG clip in BT.2020 (how a phone records), its grey ramp of
// eleven bands made by ffmpeg, decoded by the show's decoder.
TEST(ToneMap, AnHlgClipDecodesToItsRamp)
{
    const std::string dir = scratchDir("tone-map");
    const std::string cmd =
        "cd '" + dir + "' && ffmpeg -v error -y -f lavfi -i 'nullsrc=s=352x64:d=0.2:r=10,format=yuv420p10le,"
        "geq=lum=floor(X/32)*1023/10:cb=512:cr=512' -pix_fmt yuv420p10le -c:v libx265 -x265-params log-level=error:lossless=1 "
        "-color_primaries bt2020 -color_trc arib-std-b67 -colorspace bt2020nc -color_range pc hlg.mp4 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "ffmpeg could not make the clip";
    std::unique_ptr<kvClipDecoder> decoder = makeClipDecoder();
    std::string why;
    ASSERT_TRUE(decoder->open(dir + "/hlg.mp4", 0, 0, &why)) << why;
    kvClipFrame frame;
    ASSERT_TRUE(decoder->next(frame, &why)) << why;
    const kvToneMap hlg(kBt2020, kHlg, 0);
    int previous = -1;
    for (int band = 0; band <= 10; ++band) {
        const uint8_t* p = frame.picture->getPixels() + (32 * frame.picture->getBufferWidth() + band * 32 + 16) * 4;
        SCOPED_TRACE(band);
        EXPECT_NEAR(p[0], grey(hlg, band / 10.0), 3);
        EXPECT_NEAR(p[0], p[1], 2);
        EXPECT_GE(p[0], previous);
        previous = p[0];
    }
}
