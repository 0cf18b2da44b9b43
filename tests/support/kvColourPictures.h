// Test pictures of flat colour patches, each format carrying a colour
// description as a camera or phone writes it: a JPEG's APP2 chunks, a
// PNG's iCCP or cHRM, a WebP's ICCP, a HEIC's colr (prof or nclx).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvell {

struct kvPatch {
    uint8_t c[4]; // RGB, or CMYK as Adobe stores it (inverted)
};

enum class kvPatchFormat { JPEG, PNG, WEBP, HEIC };

// Patches side by side, kPatchSide pixels square; the ICC profile (empty:
// none) embedded, or for HEIC the nclx code points when `nclxPrimaries` is
// not 0. `components`: 1 (grey) or 4 (CMYK) make such a JPEG; the patch's
// first bytes are its values.
const int kPatchSide = 16;
std::vector<uint8_t> patchPicture(kvPatchFormat format, const std::vector<kvPatch>& patches,
                                  const std::vector<uint8_t>& icc, int nclxPrimaries = 0, int nclxTransfer = 13,
                                  int components = 3);
const char* patchFormatName(kvPatchFormat format);

// A JPEG with the ICC profile put in APP2 chunks after its start marker.
std::vector<uint8_t> withIccProfile(std::vector<uint8_t> jpeg, const std::vector<uint8_t>& icc);
std::vector<uint8_t> readBytes(const std::string& path);
// A Display P3 profile as Apple's: P3's primaries, D65, sRGB's curve;
// made by LittleCMS.
std::vector<uint8_t> displayP3Profile();

} // namespace Korvell
