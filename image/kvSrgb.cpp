// IEC 61966-2-1's curve.
#include "image/kvSrgb.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Korvell {

double srgbToLinear(double e) { return e <= 0.04045 ? e / 12.92 : std::pow((e + 0.055) / 1.055, 2.4); }

double srgbFromLinear(double l) { return l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055; }

const uint8_t* srgbEncodeTable()
{
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(kSrgbSteps);
        for (int i = 0; i < kSrgbSteps; ++i)
            t[static_cast<size_t>(i)] = static_cast<uint8_t>(
                std::lround(std::min(1.0, srgbFromLinear(static_cast<double>(i) / (kSrgbSteps - 1))) * 255));
        return t;
    }();
    return table.data();
}

} // namespace Korvell
