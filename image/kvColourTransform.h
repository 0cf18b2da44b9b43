// A picture's colours brought to sRGB by its profile with LittleCMS:
// relative colorimetric with black-point compensation, the same intent for
// every profile (a phone's or a camera's profile has no perceptual table,
// and the same colour then converts alike whatever made the file).
// Conversions are kept for reuse, as a folder of one phone's photos shares
// one profile. Safe to use from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "image/kvColourTag.h"

namespace Korvell {

enum class kvPixels { RGB, RGBA, CMYK_INVERTED };

class kvColourTransform {
public:
    // The conversion for pixels laid out as `pixels` under the tag; null
    // when there is nothing to do (untagged, sRGB, or a profile that is
    // sRGB but for rounding) and when the tag cannot be used, with `why`
    // set then ("its colour profile cannot be read", ...).
    static std::shared_ptr<const kvColourTransform> forTag(const kvColourTag& tag, kvPixels pixels,
                                                           std::string* why);
    ~kvColourTransform();

    // RGB or RGBA rows in place (alpha kept).
    void apply(uint8_t* rows, int width, int height, size_t pitch) const;
    // CMYK rows into RGB rows.
    void apply(const uint8_t* in, size_t inPitch, uint8_t* out, size_t outPitch, int width, int height) const;

    struct Parts;
    static void applyTo(const Parts& parts, uint8_t* rows, int width, int height, size_t pitch);

private:
    explicit kvColourTransform(Parts* parts);
    kvColourTransform(const kvColourTransform&) = delete;
    kvColourTransform& operator=(const kvColourTransform&) = delete;
    std::unique_ptr<Parts> parts;
};

} // namespace Korvell
