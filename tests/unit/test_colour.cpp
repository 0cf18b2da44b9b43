// Pictures brought to sRGB by their colour descriptions: every format and
// kind of profile against LittleCMS's own transform of the same patches,
// sRGB and untagged pictures untouched, damaged profiles passed over.
#include <gtest/gtest.h>

#include <lcms2.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "image/kvColourTransform.h"
#include "image/kvPictureDecoder.h"
#include "image/kvTexture.h"
#include "image/kvToneMap.h"
#include "support/kvColourPictures.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

const std::string kIcc = "/usr/share/color/icc/";

// Saturated primaries, a camera green, skin, greys from black to white.
const std::vector<kvPatch> kPatches = {{{230, 30, 30}},  {{30, 200, 40}},   {{20, 40, 220}},  {{61, 170, 91}},
                                       {{200, 150, 120}}, {{128, 128, 128}}, {{10, 10, 10}},   {{255, 255, 255}},
                                       {{250, 240, 20}},  {{0, 190, 210}}};
const std::vector<kvPatch> kInk = {{{255, 0, 0, 0}},    {{0, 255, 0, 0}},   {{0, 0, 255, 0}},
                                   {{255, 255, 255, 0}}, {{255, 255, 255, 255}}, {{200, 120, 60, 10}}};
const std::vector<kvPatch> kGreys = {{{0}}, {{30}}, {{90}}, {{128}}, {{200}}, {{255}}};

// Two sRGB colours apart, by CIEDE2000.
double deltaE(const uint8_t* a, const uint8_t* b)
{
    static cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    static cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    static cmsHTRANSFORM toLab =
        cmsCreateTransform(srgb, TYPE_RGB_8, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsCIELab la, lb;
    cmsDoTransform(toLab, a, &la, 1);
    cmsDoTransform(toLab, b, &lb, 1);
    return cmsCIE2000DeltaE(&la, &lb, 1, 1, 1);
}

// LittleCMS's own conversion of the patches, from `profile` to sRGB.
std::vector<uint8_t> expected(const std::vector<uint8_t>& icc, const std::vector<kvPatch>& patches, int components)
{
    cmsHPROFILE from = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    const cmsUInt32Number format = components == 1 ? TYPE_GRAY_8 : components == 4 ? TYPE_CMYK_8_REV : TYPE_RGB_8;
    cmsHTRANSFORM t = cmsCreateTransform(from, format, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                         cmsFLAGS_BLACKPOINTCOMPENSATION);
    std::vector<uint8_t> out(patches.size() * 3);
    for (size_t i = 0; i < patches.size(); ++i) cmsDoTransform(t, patches[i].c, &out[i * 3], 1);
    cmsDeleteTransform(t);
    cmsCloseProfile(from);
    cmsCloseProfile(srgb);
    return out;
}

const uint8_t* centre(const kvTexture& t, size_t patch)
{
    const int x = static_cast<int>(patch) * kPatchSide + kPatchSide / 2;
    return t.getPixels() + (static_cast<size_t>(kPatchSide / 2) * t.getBufferWidth() + x) * t.getBytesPerPixel();
}

bool decode(const std::vector<uint8_t>& bytes, kvTexture& t, std::string* note) { return decodePicture(bytes, 0, 0, t, note); }

bool samePixels(const kvTexture& a, const kvTexture& b)
{
    return a.bufferBytes() == b.bufferBytes() && std::memcmp(a.getPixels(), b.getPixels(), a.bufferBytes()) == 0;
}

} // namespace

TEST(Colour, EveryFormatAndProfileComesWithinDeltaE2OfLittleCms)
{
    const std::vector<uint8_t> adobe = readBytes(kIcc + "colord/AdobeRGB1998.icc"),
                               adobeFree = readBytes(kIcc + "compatibleWithAdobeRGB1998.icc"),
                               proPhoto = readBytes(kIcc + "colord/ProPhotoRGB.icc"), p3 = displayP3Profile(),
                               grey = readBytes(kIcc + "Gray.icc"),
                               cmyk = readBytes(kIcc + "ghostscript/default_cmyk.icc");
    ASSERT_FALSE(adobe.empty() || adobeFree.empty() || proPhoto.empty() || grey.empty() || cmyk.empty());
    struct Case {
        const char* name;
        kvPatchFormat format;
        const std::vector<uint8_t>* icc;
        int components;
    };
    const Case cases[] = {
        {"Adobe RGB (colord)", kvPatchFormat::JPEG, &adobe, 3},
        {"Adobe RGB (colord)", kvPatchFormat::PNG, &adobe, 3},
        {"Adobe RGB (colord)", kvPatchFormat::WEBP, &adobe, 3},
        {"Adobe RGB (colord)", kvPatchFormat::HEIC, &adobe, 3},
        {"Adobe RGB compatible", kvPatchFormat::JPEG, &adobeFree, 3},
        {"ProPhoto", kvPatchFormat::JPEG, &proPhoto, 3},
        {"ProPhoto", kvPatchFormat::PNG, &proPhoto, 3},
        {"ProPhoto", kvPatchFormat::WEBP, &proPhoto, 3},
        {"ProPhoto", kvPatchFormat::HEIC, &proPhoto, 3},
        {"Display P3", kvPatchFormat::JPEG, &p3, 3},
        {"Display P3", kvPatchFormat::PNG, &p3, 3},
        {"Display P3", kvPatchFormat::WEBP, &p3, 3},
        {"Display P3", kvPatchFormat::HEIC, &p3, 3},
        {"grey", kvPatchFormat::JPEG, &grey, 1},
        {"CMYK", kvPatchFormat::JPEG, &cmyk, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + patchFormatName(c.format));
        const std::vector<kvPatch>& patches = c.components == 1 ? kGreys : c.components == 4 ? kInk : kPatches;
        kvTexture t;
        std::string note;
        ASSERT_TRUE(decode(patchPicture(c.format, patches, *c.icc, 0, 13, c.components), t, &note)) << note;
        EXPECT_EQ(note, "");
        const std::vector<uint8_t> want = expected(*c.icc, patches, c.components);
        double worst = 0, moved = 0;
        for (size_t i = 0; i < patches.size(); ++i) {
            const double e = deltaE(centre(t, i), &want[i * 3]);
            EXPECT_LE(e, 2.0) << "patch " << i << ": " << int(centre(t, i)[0]) << "," << int(centre(t, i)[1]) << ","
                              << int(centre(t, i)[2]) << " for " << int(want[i * 3]) << "," << int(want[i * 3 + 1])
                              << "," << int(want[i * 3 + 2]);
            worst = std::max(worst, e);
            if (c.components == 3) moved = std::max(moved, deltaE(patches[i].c, &want[i * 3]));
        }
        // The profile matters: shown as stored, some patch would be far off.
        if (c.components == 3) {
            EXPECT_GT(moved, 5.0);
        }
    }
}

// A HEIF's nclx code points: Display P3 and BT.2020 converted, BT.709 left
// alone, and an HDR still (PQ or HLG) tone-mapped as a clip's frames are
// (the decode path's widening and channels against the map itself).
TEST(Colour, HeifNclxByItsCodePoints)
{
    kvTexture untagged;
    ASSERT_TRUE(decode(patchPicture(kvPatchFormat::HEIC, kPatches, {}), untagged, nullptr));
    // Display P3 and BT.2020 by code points, as a phone writes them.
    for (int primaries : {12, 9}) {
        SCOPED_TRACE(primaries);
        const std::vector<uint8_t> bytes = patchPicture(kvPatchFormat::HEIC, kPatches, {}, primaries, 13);
        kvTexture t;
        ASSERT_TRUE(decode(bytes, t, nullptr));
        const std::vector<uint8_t> want = expected(displayP3Profile(), kPatches, 3);
        for (size_t i = 0; primaries == 12 && i < kPatches.size(); ++i) {
            EXPECT_LE(deltaE(centre(t, i), &want[i * 3]), 2.0) << i;
        }
        EXPECT_FALSE(samePixels(t, untagged));
    }
    kvTexture bt709;
    ASSERT_TRUE(decode(patchPicture(kvPatchFormat::HEIC, kPatches, {}, 1, 1), bt709, nullptr));
    EXPECT_TRUE(samePixels(bt709, untagged));
    const std::vector<kvPatch> greys = {{{0, 0, 0}}, {{64, 64, 64}}, {{128, 128, 128}}, {{192, 192, 192}},
                                        {{255, 255, 255}}};
    for (int transfer : {16, 18}) {
        SCOPED_TRACE(transfer);
        kvTexture t;
        std::string note;
        ASSERT_TRUE(decode(patchPicture(kvPatchFormat::HEIC, greys, {}, 9, transfer), t, &note)) << note;
        const kvToneMap map(9, transfer, 0);
        for (size_t i = 0; i < greys.size(); ++i) {
            const uint16_t v = static_cast<uint16_t>(greys[i].c[0] * 257);
            const uint16_t in[4] = {v, v, v, 65535};
            uint8_t want[4];
            map.convertRow(in, want, 1);
            EXPECT_NEAR(centre(t, i)[0], want[0], 2) << i;
            EXPECT_NEAR(centre(t, i)[2], want[2], 2) << i;
        }
        EXPECT_EQ(centre(t, 4)[0], 255);
        EXPECT_LT(centre(t, 1)[0], 64); // darker than its numbers: HDR's light, not SDR's
    }
}

TEST(Colour, SrgbAndUntaggedPicturesAreUntouchedByteForByte)
{
    const std::vector<uint8_t> srgbProfiles[] = {readBytes(kIcc + "sRGB.icc"), readBytes(kIcc + "colord/sRGB.icc")};
    for (kvPatchFormat f : {kvPatchFormat::JPEG, kvPatchFormat::PNG, kvPatchFormat::WEBP, kvPatchFormat::HEIC}) {
        SCOPED_TRACE(patchFormatName(f));
        kvTexture untagged;
        ASSERT_TRUE(decode(patchPicture(f, kPatches, {}), untagged, nullptr));
        for (const std::vector<uint8_t>& icc : srgbProfiles) {
            ASSERT_FALSE(icc.empty());
            kvTexture t;
            std::string note;
            ASSERT_TRUE(decode(patchPicture(f, kPatches, icc), t, &note));
            EXPECT_EQ(note, "");
            EXPECT_TRUE(samePixels(t, untagged));
        }
    }
}

TEST(Colour, AProfileThatCannotBeUsedIsSaidAndThePictureShowsAsStored)
{
    const std::vector<uint8_t> adobe = readBytes(kIcc + "colord/AdobeRGB1998.icc");
    const std::vector<uint8_t> cmyk = readBytes(kIcc + "ghostscript/default_cmyk.icc");
    std::vector<uint8_t> cut(adobe.begin(), adobe.begin() + 300), lying = adobe;
    lying[128] = 0x7F; // a tag count far past the bytes
    std::vector<uint8_t> noTags(adobe.begin(), adobe.begin() + 132);
    std::vector<uint8_t> chunkMissing = patchPicture(kvPatchFormat::JPEG, kPatches, adobe);
    // The second of the APP2 chunks renamed: a chunk missing.
    const uint8_t name[] = "ICC_PROFILE";
    auto second = std::search(chunkMissing.begin() + 20, chunkMissing.end(), name, name + 11);
    ASSERT_NE(second, chunkMissing.end());
    *second = 'X';
    std::vector<uint8_t> badZlib = patchPicture(kvPatchFormat::PNG, kPatches, adobe);
    const uint8_t chunk[] = {'i', 'C', 'C', 'P'};
    auto iccp = std::search(badZlib.begin(), badZlib.end(), chunk, chunk + 4);
    ASSERT_NE(iccp, badZlib.end());
    for (int i = 20; i < 40; ++i) iccp[i] = 0x55; // the stream (CRC failures in ancillary chunks are libpng's)

    // An iCCP iccp20 that inflates to 20 MiB: read to 16 MiB and no further.
    std::vector<uint8_t> endless = patchPicture(kvPatchFormat::PNG, kPatches, {});
    {
        std::vector<uint8_t> zeros(20u << 20), iccp20 = {0, 0, 0, 0, 'i', 'C', 'C', 'P', 'p', 0, 0};
        uLongf packed = compressBound(zeros.size());
        std::vector<uint8_t> stream(packed);
        ASSERT_EQ(compress2(stream.data(), &packed, zeros.data(), zeros.size(), 9), Z_OK);
        iccp20.insert(iccp20.end(), stream.begin(), stream.begin() + static_cast<long>(packed));
        const uint32_t length = static_cast<uint32_t>(iccp20.size() - 8), crc = crc32(0, &iccp20[4], length + 4);
        for (int i = 0; i < 4; ++i) iccp20[i] = static_cast<uint8_t>(length >> (24 - 8 * i));
        for (int i = 0; i < 4; ++i) iccp20.push_back(static_cast<uint8_t>(crc >> (24 - 8 * i)));
        endless.insert(endless.begin() + 33, iccp20.begin(), iccp20.end()); // after IHDR
    }
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        kvPatchFormat format;
        const char* said;
    } cases[] = {
        {"cut", patchPicture(kvPatchFormat::JPEG, kPatches, cut), kvPatchFormat::JPEG, "cannot be"},
        {"tag count lies", patchPicture(kvPatchFormat::JPEG, kPatches, lying), kvPatchFormat::JPEG, "cannot be"},
        {"no tags", patchPicture(kvPatchFormat::WEBP, kPatches, noTags), kvPatchFormat::WEBP, "cannot be"},
        {"CMYK's on RGB", patchPicture(kvPatchFormat::JPEG, kPatches, cmyk), kvPatchFormat::JPEG, "for CMYK pixels"},
        {"chunk missing", chunkMissing, kvPatchFormat::JPEG, "missing or repeated"},
        {"damaged iCCP", badZlib, kvPatchFormat::PNG, "damaged iCCP"},
        {"iCCP past 16 MiB", endless, kvPatchFormat::PNG, "damaged iCCP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kvTexture untagged, t;
        ASSERT_TRUE(decode(patchPicture(c.format, kPatches, {}), untagged, nullptr));
        std::string note;
        ASSERT_TRUE(decode(c.bytes, t, &note));
        EXPECT_NE(note.find(c.said), std::string::npos) << note;
        EXPECT_NE(note.find("so its colours show as stored"), std::string::npos) << note;
        EXPECT_TRUE(samePixels(t, untagged));
    }
}

// The quick path for matrix-shaper profiles against LittleCMS's own
// transform, over a grid of every corner of RGB's cube and between.
TEST(Colour, TheMatrixShaperPathAgreesWithLittleCmsWithinAStep)
{
    const std::vector<uint8_t> profiles[] = {readBytes(kIcc + "colord/AdobeRGB1998.icc"),
                                             readBytes(kIcc + "colord/ProPhotoRGB.icc"), displayP3Profile(),
                                             readBytes(kIcc + "colord/WideGamutRGB.icc")};
    std::vector<kvPatch> grid;
    for (int r = 0; r <= 256; r += 8)
        for (int g = 0; g <= 256; g += 8)
            for (int b = 0; b <= 256; b += 8)
                grid.push_back({{uint8_t(std::min(r, 255)), uint8_t(std::min(g, 255)), uint8_t(std::min(b, 255))}});
    for (const std::vector<uint8_t>& icc : profiles) {
        ASSERT_FALSE(icc.empty());
        kvColourTag tag;
        tag.kind = kvColourTag::ICC;
        tag.icc = icc;
        for (kvPixels layout : {kvPixels::RGB, kvPixels::RGBA}) {
            const int bpp = layout == kvPixels::RGBA ? 4 : 3;
            std::string why;
            auto t = kvColourTransform::forTag(tag, layout, &why);
            ASSERT_TRUE(t) << why;
            std::vector<uint8_t> px(grid.size() * bpp, 77);
            for (size_t i = 0; i < grid.size(); ++i) std::memcpy(&px[i * bpp], grid[i].c, 3);
            t->apply(px.data(), static_cast<int>(grid.size()), 1, px.size());
            const std::vector<uint8_t> want = expected(icc, grid, 3);
            int worst = 0;
            for (size_t i = 0; i < grid.size(); ++i) {
                for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(px[i * bpp + c] - want[i * 3 + c]));
                EXPECT_EQ(bpp == 4 ? px[i * 4 + 3] : 77, 77); // alpha kept
            }
            EXPECT_LE(worst, 1);
        }
    }
}
