// Light is carried in cd/m2 from the first table to the last: SDR at
// kSdrWhite for its white, PQ as it says, HLG through its system gamma at
// its display's peak. Every curve is a table, so a frame costs lookups and
// a few multiplications a pixel.
#include "image/kvToneMap.h"

#include <algorithm>
#include <cmath>

#include "image/kvSrgb.h"

namespace Korvell {

namespace {

const int kCodeSteps = 4096;    // 12 bits of the 16 libswscale gives (10-bit clips have 1024 levels)
const int kLightSteps = 4096;   // the largest channel, 0 to the peak

// SMPTE ST 2084.
const double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32,
             c3 = 2392.0 / 4096 * 32;

double pqToNits(double e)
{
    const double p = std::pow(std::max(e, 0.0), 1 / m2);
    return 10000 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1);
}

double nitsToPq(double nits)
{
    const double y = std::pow(std::max(nits, 0.0) / 10000, m1);
    return std::pow((c1 + c2 * y) / (1 + c3 * y), m2);
}

// ARIB STD-B67's inverse OETF: signal to scene light, 0 to 1.
double hlgToScene(double e)
{
    const double a = 0.17883277, b = 1 - 4 * a, c = 0.5 - a * std::log(4 * a);
    return e <= 0.5 ? e * e / 3 : (std::exp((e - c) / a) + b) / 12;
}

} // namespace

kvToneMap::kvToneMap(int primaries, int transfer, double peak)
{
    hdr = transfer == 16 || transfer == 18;
    hlg = transfer == 18;
    wide = primaries == 9;
    active = hdr || wide;
    if (!active) return;
    // HLG's display is its nominal one; PQ's peak is the master's.
    peakNits = hlg || !(peak > kSdrWhite && peak <= 10000) ? kDefaultPeak : peak;
    if (!hdr) peakNits = kSdrWhite;
    if (wide) {
        // BT.2087's BT.2020 to BT.709, in linear light.
        const float m[9] = {1.6605f, -0.5876f, -0.0728f, -0.1246f, 1.1329f, -0.0083f, -0.0182f, -0.1006f, 1.1187f};
        std::copy(m, m + 9, matrix);
    }
    toLinear.resize(kCodeSteps);
    for (int i = 0; i < kCodeSteps; ++i) {
        const double e = static_cast<double>(i) / (kCodeSteps - 1);
        toLinear[i] = static_cast<float>(hlg ? hlgToScene(e) : hdr ? pqToNits(e) : srgbToLinear(e) * kSdrWhite);
    }
    if (hlg) {
        // BT.2100's OOTF at a 1000 cd/m2 display: gamma 1.2 on luminance.
        hlgGain.resize(kLightSteps);
        for (int i = 0; i < kLightSteps; ++i)
            hlgGain[i] = static_cast<float>(peakNits * std::pow(static_cast<double>(i) / (kLightSteps - 1), 0.2));
    }
    squeeze.resize(kLightSteps);
    for (int i = 0; i < kLightSteps; ++i) {
        const double nits = peakNits * i / (kLightSteps - 1);
        squeeze[i] = i == 0 ? 1.0f : static_cast<float>(eetf(nits) / nits);
    }
    encode = srgbEncodeTable();
}

// BT.2390's EETF from [0, peak] to [0, kSdrWhite], in PQ's terms; the
// same light where the clip is no brighter than the screen's white.
double kvToneMap::eetf(double nits) const
{
    if (peakNits <= kSdrWhite) return std::min(nits, kSdrWhite);
    const double top = nitsToPq(peakNits);
    const double e1 = nitsToPq(nits) / top, maxLum = nitsToPq(kSdrWhite) / top;
    const double ks = 1.5 * maxLum - 0.5;
    double e2 = e1;
    if (e1 >= ks) {
        const double t = (std::min(e1, 1.0) - ks) / (1 - ks), t2 = t * t, t3 = t2 * t;
        e2 = (2 * t3 - 3 * t2 + 1) * ks + (t3 - 2 * t2 + t) * (1 - ks) + (-2 * t3 + 3 * t2) * maxLum;
    }
    return std::min(pqToNits(e2 * top), kSdrWhite);
}

double kvToneMap::map(double nits) const { return active ? eetf(std::min(nits, peakNits)) : nits; }

void kvToneMap::convertRow(const uint16_t* in, uint8_t* out, int width) const
{
    const float* m = matrix;
    const float toLight = (kLightSteps - 1) / static_cast<float>(peakNits);
    const float toScreen = (kSrgbSteps - 1) / static_cast<float>(kSdrWhite);
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
        float r = toLinear[in[0] >> 4], g = toLinear[in[1] >> 4], b = toLinear[in[2] >> 4];
        if (hlg) {
            const float ys = std::min(0.2627f * r + 0.6780f * g + 0.0593f * b, 1.0f);
            const float gain = hlgGain[static_cast<int>(ys * (kLightSteps - 1) + 0.5f)];
            r *= gain;
            g *= gain;
            b *= gain;
        }
        if (wide) {
            const float r2 = m[0] * r + m[1] * g + m[2] * b, g2 = m[3] * r + m[4] * g + m[5] * b,
                        b2 = m[6] * r + m[7] * g + m[8] * b;
            r = std::max(r2, 0.0f);
            g = std::max(g2, 0.0f);
            b = std::max(b2, 0.0f);
        }
        const float top = std::max(r, std::max(g, b));
        const float f = squeeze[static_cast<int>(std::min(top * toLight, kLightSteps - 1.0f) + 0.5f)];
        out[0] = encode[static_cast<int>(std::min(r * f * toScreen, kSrgbSteps - 1.0f) + 0.5f)];
        out[1] = encode[static_cast<int>(std::min(g * f * toScreen, kSrgbSteps - 1.0f) + 0.5f)];
        out[2] = encode[static_cast<int>(std::min(b * f * toScreen, kSrgbSteps - 1.0f) + 0.5f)];
        out[3] = 255;
    }
}

} // namespace Korvell
