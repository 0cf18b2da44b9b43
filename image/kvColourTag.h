// What a picture's numbers mean, as its file says: nothing (taken as
// sRGB), sRGB said outright, an embedded ICC profile, or primaries and a
// transfer curve (HEIF's nclx, PNG's cHRM). Read from the file's own
// chunks by the decoders, turned into a conversion by kvColourTransform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Korvell {

enum class kvTransfer { SRGB, LINEAR, GAMMA22, GAMMA28, PQ, HLG };

struct kvColourTag {
    enum Kind { UNTAGGED, SRGB, ICC, PRIMARIES };
    Kind kind = UNTAGGED;
    std::vector<uint8_t> icc;
    // PRIMARIES: x, y of red, green, blue and white, and the curve.
    double xy[8] = {};
    kvTransfer transfer = kvTransfer::SRGB;
    // The nclx code points they came from (0: none), for HDR's tone map.
    int primariesCode = 0;
    int transferCode = 0;
    // Why the file's own tag could not be taken (a cut profile): the
    // picture shows untouched, and this is said once.
    std::string problem;

    // Converting to sRGB could change the picture.
    bool needsConversion() const { return kind == ICC || kind == PRIMARIES; }
    // PQ or HLG: tone-mapped as a clip's frames are, not converted here.
    bool isHdr() const { return kind == PRIMARIES && (transfer == kvTransfer::PQ || transfer == kvTransfer::HLG); }
    // A key naming the conversion, equal for equal tags.
    std::string key() const;
};

// From an ISO/IEC 23091-2 (nclx) colour description: sRGB for BT.709
// primaries with an SDR curve (how stills are meant to be seen), else the
// primaries and curve; untagged for codes not known.
kvColourTag tagFromCodePoints(int primaries, int transfer);

// The chunks of a PNG before its pixels: iCCP (inflated, at most
// kMaxProfileBytes), sRGB, and cHRM where there is neither. A gAMA alone
// is libpng's to apply, which its simplified reader does.
kvColourTag pngColourTag(const uint8_t* data, size_t size);
// A WebP's ICCP chunk.
kvColourTag webpColourTag(const uint8_t* data, size_t size);

// Larger profiles are refused (the largest real ones, print LUTs, are a
// few MiB).
const size_t kMaxProfileBytes = 16u << 20;

} // namespace Korvell
