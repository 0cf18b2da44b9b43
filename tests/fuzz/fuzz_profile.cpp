// Bytes as an embedded colour profile: in a JPEG's APP2 chunks, decoded as
// the show would, and as a conversion for RGB, RGBA and CMYK pixels
// applied to a few pixels. A profile that cannot be used is passed over
// with a reason, never taken on trust.
#include <cstdint>
#include <vector>

#include "image/kvColourTransform.h"
#include "image/kvPictureDecoder.h"
#include "image/kvTexture.h"
#include "support/kvColourPictures.h"

using namespace Korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kvColourTag tag;
    tag.kind = kvColourTag::ICC;
    tag.icc.assign(data, data + size);
    for (kvPixels pixels : {kvPixels::RGB, kvPixels::RGBA, kvPixels::CMYK_INVERTED}) {
        std::string why;
        auto t = kvColourTransform::forTag(tag, pixels, &why);
        if (!t) continue;
        if (!why.empty()) __builtin_trap(); // a conversion, or a reason: never both
        uint8_t in[4 * 17], out[3 * 17];
        for (int i = 0; i < 4 * 17; ++i) in[i] = static_cast<uint8_t>(i * 15);
        if (pixels == kvPixels::CMYK_INVERTED)
            t->apply(in, sizeof in, out, sizeof out, 17, 1);
        else
            t->apply(in, 17, 1, sizeof in);
    }
    // The same profile inside a small picture of patches (in at most 255
    // chunks of the writer's 1000 bytes).
    if (size > 255000) return 0;
    static const std::vector<kvPatch> patches = {{{200, 30, 30}}, {{30, 200, 30}}};
    kvTexture picture;
    std::string note;
    if (!decodePicture(patchPicture(kvPatchFormat::JPEG, patches, tag.icc), 0, 0, picture, &note)) __builtin_trap();
    return 0;
}
