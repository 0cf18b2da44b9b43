// A video frame's colours brought to the sRGB screen when its clip says
// they are not BT.709's: BT.2020 primaries mapped to BT.709's, and HDR
// (PQ or HLG) tone-mapped to SDR by BT.2390's curve (its EETF) on the
// largest of R, G and B, so hues stay. The screen's white stands for
// 203 cd/m2 (BT.2408's HDR reference white); the clip's peak comes from its
// metadata, or 1000 cd/m2 (HLG's nominal display, and PQ's usual master).
#pragma once

#include <cstdint>
#include <vector>

namespace Korvell {

class kvToneMap {
public:
    static constexpr double kSdrWhite = 203.0;
    static constexpr double kDefaultPeak = 1000.0;

    // ISO/IEC 23091-2 code points, as FFmpeg numbers them too (primaries
    // 9: BT.2020; transfer 16: PQ, 18: HLG); peakNits 0: not known.
    kvToneMap(int primaries, int transfer, double peakNits);
    // Whether frames of this kind need anything done (not SDR BT.709).
    bool needed() const { return active; }
    bool isHdr() const { return hdr; }
    double peak() const { return peakNits; }

    // One row of 16-bit RGBA (full range, the clip's primaries and curve)
    // into 8-bit RGBA for the sRGB screen, alpha opaque.
    void convertRow(const uint16_t* in, uint8_t* out, int width) const;
    // The curve alone: displayed cd/m2 of the clip to cd/m2 on the screen
    // (at most kSdrWhite).
    double map(double nits) const;

private:
    double eetf(double nits) const;

    bool active = false;
    bool hdr = false;
    bool hlg = false;
    bool wide = false; // BT.2020 primaries
    double peakNits = kDefaultPeak;
    std::vector<float> toLinear;  // a 12-bit code to cd/m2 (HLG: scene light, 0 to 1)
    std::vector<float> hlgGain;   // HLG's system gamma: scene luminance to its gain
    std::vector<float> squeeze;   // the largest channel's cd/m2 to the factor the EETF scales it by
    const uint8_t* encode = nullptr; // screen light, 0 to 1, to sRGB's 8 bits (kvSrgb)
    float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

} // namespace Korvell
