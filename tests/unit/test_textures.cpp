// Textures decoded from committed JPEG fixtures, from the disk and from an
// archive, and the container's indexes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "image/kvDataFile.h"
#include "image/kvPictureDecoder.h"
#include "image/kvPictureFile.h"
#include "image/kvPictureInfo.h"
#include "image/kvTexture.h"
#include "image/kvTextureContainer.h"
#include "image/kvTextureModifier.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

struct Textures : ::testing::Test {
    void TearDown() override { kvTexture::setMaxSize(16384); }
};

// The centre of a 150 x 100 quadrant, within a JPEG's error.
void expectPixel(const kvTexture& t, int x, int y, int r, int g, int b)
{
    const uint8_t* p = t.getPixels() + (static_cast<size_t>(y) * t.getBufferWidth() + x) * t.getBytesPerPixel();
    EXPECT_NEAR(p[0], r, 6) << "at " << x << "," << y;
    EXPECT_NEAR(p[1], g, 6) << "at " << x << "," << y;
    EXPECT_NEAR(p[2], b, 6) << "at " << x << "," << y;
}

// An archive with one entry whose index claims the given size.
std::string oneEntryArchive(const std::string& name, const std::string& bytes, uint32_t size)
{
    std::string index = std::string("DAT", 4) + name + '\0';
    uint32_t offset = static_cast<uint32_t>(index.size() + 8 + 4);
    for (int i = 0; i < 4; ++i) index += static_cast<char>((size >> (8 * i)) & 0xFF);
    for (int i = 0; i < 4; ++i) index += static_cast<char>((offset >> (8 * i)) & 0xFF);
    return index + std::string("END", 4) + bytes;
}

} // namespace

TEST_F(Textures, PictureLandsTopRowFirstInAPaddedBuffer)
{
    kvTexture t(fixture("quadrants.jpg"));
    ASSERT_EQ(t.getStatus(), 0);
    EXPECT_EQ(t.getWidth(), 300);
    EXPECT_EQ(t.getHeight(), 200);
    EXPECT_EQ(t.getBufferWidth(), 512);
    EXPECT_EQ(t.getBufferHeight(), 256);
    ASSERT_EQ(t.getBytesPerPixel(), 3);
    expectPixel(t, 75, 50, 255, 0, 0);    // top left: red
    expectPixel(t, 225, 50, 0, 255, 0);   // top right: green
    expectPixel(t, 75, 150, 0, 0, 255);   // bottom left: blue
    expectPixel(t, 225, 150, 255, 255, 255);
    // The padding is zero but for the seam: the column and row beside the
    // picture repeat its edge, and the buffer's last column and row its
    // first (what repeat-wrapping puts beside them).
    const uint8_t* p = t.getPixels();
    auto at = [&](int x, int y) { return p + (static_cast<size_t>(y) * 512 + x) * 3; };
    size_t nonzero = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x) {
            const bool picture = x < 300 && y < 200;
            const bool seam = x == 300 || x == 511 || y == 200 || y == 255;
            if (picture) continue;
            if (seam) {
                const int sx = x == 300 ? 299 : x == 511 ? 0 : x;
                const int sy = y == 200 ? 199 : y == 255 ? 0 : y;
                if (sx < 300 && sy < 200) {
                    EXPECT_EQ(0, std::memcmp(at(x, y), at(sx, sy), 3)) << x << "," << y;
                }
                continue;
            }
            nonzero += at(x, y)[0] != 0 || at(x, y)[1] != 0 || at(x, y)[2] != 0;
        }
    EXPECT_EQ(nonzero, 0u);
}

TEST_F(Textures, OnePixelPictureGetsATwoByTwoBuffer)
{
    kvTexture t(fixture("one.jpg"));
    ASSERT_EQ(t.getStatus(), 0);
    EXPECT_EQ(t.getBufferWidth(), 2);
    EXPECT_EQ(t.getBufferHeight(), 2);
    expectPixel(t, 0, 0, 255, 128, 0);
}

TEST_F(Textures, ProgressiveJpegDecodes)
{
    kvTexture t(fixture("progressive.jpg"));
    ASSERT_EQ(t.getStatus(), 0);
    expectPixel(t, 225, 150, 255, 255, 255);
}

TEST_F(Textures, PicturesAreToldByTheirBytesAndFailuresSayWhy)
{
    struct Case {
        const char* name;
        const char* reason; // "" when it decodes
        int bytesPerPixel;
    } cases[] = {
        {"grey.jpg", "", 3},          {"cmyk.jpg", "", 3},
        {"picture.png", "", 3},       {"picture-named.jpg", "", 3}, // a PNG, whatever its name
        {"alpha.png", "", 4},         {"rotated6.jpg", "", 3},
        {"text.jpg", "not a picture Korvell reads (JPEG, PNG, WebP, HEIC, AVIF)", 0},
        {"empty.jpg", "empty", 0},    {"truncated.jpg", "truncated", 0},
        {"no-such-file.jpg", "no such file", 0},
        {"huge-20000.jpg", "larger than 64 megapixels (20000 x 20000)", 0},
    };
    // WebP, HEIC and AVIF (the pictures fuzz target's seeds), one cut in
    // half, and a WebP whose canvas claims 20000 x 20000.
    const std::string seeds = std::string(KORVELL_SOURCE_DIR) + "/tests/fuzz/corpus/texture/";
    const std::string dir = scratchDir("formats");
    const std::string webp = readFile(seeds + "lossy.webp"), heic = readFile(seeds + "small.heic");
    writeFile(dir + "/cut.webp", webp.substr(0, webp.size() / 2));
    writeFile(dir + "/cut.heic", heic.substr(0, heic.size() / 2));
    const std::string chunk = std::string("VP8X\x0a\0\0\0\0\0\0\0", 12) + std::string("\x1f\x4e\0\x1f\x4e\0", 6);
    writeFile(dir + "/huge.webp", "RIFF" + std::string("\x16\0\0\0", 4) + "WEBP" + chunk);
    const Case more[] = {
        {"lossy.webp", "", 3},
        {"lossless.webp", "", 3},
        {"alpha.webp", "", 4},
        {"small.heic", "", 3},
        {"small.avif", "", 3},
        {"cut.webp", "truncated", 0},
        {"cut.heic", "truncated", 0},
        {"huge.webp", "larger than 64 megapixels (20000 x 20000)", 0},
    };
    auto check = [](const std::string& path, const Case& c) {
        std::vector<uint8_t> bytes;
        std::string reason;
        kvTexture t;
        const bool ok = readPictureFile(path, nullptr, bytes, &reason) && decodePicture(bytes, 0, 0, t, &reason);
        EXPECT_EQ(ok, c.reason[0] == 0) << c.name << ": " << reason;
        if (ok) {
            EXPECT_EQ(t.getBytesPerPixel(), c.bytesPerPixel) << c.name;
        } else {
            EXPECT_EQ(reason, c.reason) << c.name;
            EXPECT_EQ(t.getPixels(), nullptr) << c.name;
        }
    };
    for (const Case& c : cases) check(fixture(c.name), c);
    for (const Case& c : more) {
        const bool made = std::string(c.name).compare(0, 3, "cut") == 0 || std::string(c.name) == "huge.webp";
        check((made ? dir + "/" : seeds) + c.name, c);
    }
}

TEST_F(Textures, ColoursAndPlacesOfEveryKind)
{
    // Greyscale and CMYK come out as RGB; orientation 6 turns the picture
    // a quarter clockwise (red, top left as stored, shows top right); a
    // PNG's alpha stays.
    kvTexture grey(fixture("grey.jpg"));
    expectPixel(grey, 8, 8, 128, 128, 128);
    kvTexture cmyk(fixture("cmyk.jpg"));
    expectPixel(cmyk, 16, 16, 0, 255, 255);
    kvTexture turned(fixture("rotated6.jpg"));
    ASSERT_EQ(turned.getStatus(), 0);
    EXPECT_EQ(turned.getWidth(), 200);
    EXPECT_EQ(turned.getHeight(), 300);
    expectPixel(turned, 150, 75, 255, 0, 0);    // top right: red
    expectPixel(turned, 150, 225, 0, 255, 0);   // bottom right: green
    expectPixel(turned, 50, 75, 0, 0, 255);     // top left: blue
    expectPixel(turned, 50, 225, 255, 255, 255);
    kvTexture alpha(fixture("alpha.png"));
    ASSERT_EQ(alpha.getBytesPerPixel(), 4);
    EXPECT_EQ(alpha.getPixels()[3], 255);                       // left: opaque
    EXPECT_NEAR(alpha.getPixels()[12 * 4 + 3], 128, 1);          // right: half
    expectPixel(alpha, 2, 6, 0, 0, 255);
}

TEST(DecodePlan, LargePicturesAreDecodedOnlyAsLargeAsTheyAppear)
{
    kvPictureInfo photo;
    photo.kind = PICTURE_JPEG;
    photo.width = 4000;
    photo.height = 3000;
    struct Case {
        int neededW, neededH, maxSide, denominator, width, bufferWidth;
    } cases[] = {
        {0, 0, 16384, 1, 4000, 4096},       // full size asked
        {1920, 1080, 16384, 2, 2000, 2048}, // half still covers 1080p
        {640, 480, 16384, 4, 1000, 1024},   // an eighth (500) would not cover 640
        {100, 100, 16384, 8, 500, 512},
        {5000, 4000, 16384, 1, 4000, 4096}, // zoomed in beyond the picture
        {0, 0, 2048, 2, 2000, 2048},        // too large for the GL: scaled to fit
        {0, 0, 256, 0, 0, 0},               // even an eighth is too large
    };
    for (const Case& c : cases) {
        kvDecodePlan plan;
        const bool ok = planDecode(photo, c.neededW, c.neededH, c.maxSide, plan);
        EXPECT_EQ(ok, c.denominator != 0) << c.neededW << "x" << c.neededH;
        if (!ok) continue;
        EXPECT_EQ(plan.denominator, c.denominator) << c.neededW << "x" << c.neededH;
        EXPECT_EQ(plan.width, c.width);
        EXPECT_EQ(plan.bufferWidth, c.bufferWidth);
        // The far coordinate stays within half a texel of the full size's.
        const double full = 4000.0 / 4096.0, scaled = static_cast<double>(plan.width) / plan.bufferWidth;
        EXPECT_LE(std::fabs(full - scaled) * plan.bufferWidth, 0.5);
    }
    // An odd size rounds to the nearest pixel; a turned picture swaps sides.
    kvPictureInfo odd = photo;
    odd.width = 4001;
    odd.orientation = 6;
    kvDecodePlan plan;
    ASSERT_TRUE(planDecode(odd, 100, 100, 16384, plan));
    EXPECT_EQ(plan.width, 375);  // 3000 / 8
    EXPECT_EQ(plan.height, 500); // 4001 / 8 = 500.125
    EXPECT_EQ(plan.bufferHeight, 512); // 4096 / 8
    // PNG has no DCT scale.
    kvPictureInfo png = photo;
    png.kind = PICTURE_PNG;
    ASSERT_TRUE(planDecode(png, 100, 100, 16384, plan));
    EXPECT_EQ(plan.denominator, 1);
}

TEST_F(Textures, BackslashIsADirectorySeparatorOnDisk)
{
    std::string dir = scratchDir("backslash");
    std::string cmd = "mkdir -p '" + dir + "/credits' && cp '" + fixture("one.jpg") + "' '" + dir + "/credits/back.jpg'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    kvTexture t(dir + "/credits\\back.jpg");
    EXPECT_EQ(t.getStatus(), 0);
}

TEST_F(Textures, PicturesBeyondTheLargestTextureAreScaledToFitOrRefused)
{
    // 300 wide needs a 512 buffer: a JPEG is decoded at half size to fit
    // 256, a PNG (no DCT scale) cannot be; a blank texture is refused.
    kvTexture::setMaxSize(256);
    kvTexture big(fixture("quadrants.jpg"));
    ASSERT_EQ(big.getStatus(), 0);
    EXPECT_EQ(big.getWidth(), 150);
    EXPECT_EQ(big.getBufferWidth(), 256);
    expectPixel(big, 112, 75, 255, 255, 255);
    kvTexture::setMaxSize(8);
    kvTexture png(fixture("alpha.png")); // 16 wide
    EXPECT_EQ(png.getStatus(), 1);
    kvTexture blank(9, 2, 24);
    EXPECT_EQ(blank.getStatus(), 1);
}

TEST_F(Textures, ArchiveEntriesLoadAndAbsentNamesFailEvenWithAFileOnDisk)
{
    std::string jpeg = readFile(fixture("one.jpg"));
    std::string name = fixture("one.jpg"); // the same name also exists on disk
    std::string path = scratchDir("texarchive") + "/pics.kva";
    writeFile(path, oneEntryArchive("inside.jpg", jpeg, static_cast<uint32_t>(jpeg.size())));
    kvDataFile archive;
    ASSERT_TRUE(archive.open(path));
    kvTexture inside("inside.jpg", &archive);
    EXPECT_EQ(inside.getStatus(), 0);
    EXPECT_EQ(inside.getWidth(), 1);
    kvTexture onDisk(name, &archive);
    EXPECT_EQ(onDisk.getStatus(), 1);
}

TEST_F(Textures, ArchiveEntryClaimingMoreThanTheFileFails)
{
    std::string path = scratchDir("liar") + "/liar.kva";
    writeFile(path, oneEntryArchive("liar.jpg", readFile(fixture("one.jpg")), 0xFFFFFF00u));
    kvDataFile archive;
    ASSERT_TRUE(archive.open(path));
    kvTexture t("liar.jpg", &archive);
    EXPECT_EQ(t.getStatus(), 1);
}

TEST_F(Textures, BlankTexturesAndSetPixel)
{
    kvTexture rgba(3, 5, 32);
    ASSERT_EQ(rgba.getStatus(), 0);
    EXPECT_EQ(rgba.getBufferWidth(), 4);
    EXPECT_EQ(rgba.getBufferHeight(), 8);
    EXPECT_TRUE(rgba.setPixel(1, 2, vector3(1.0f, 0.5f, 0.0f)));
    const uint8_t* p = rgba.getPixels() + (2 * 4 + 1) * 4;
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 127);
    EXPECT_EQ(p[2], 0);
    EXPECT_EQ(p[3], 255);
    EXPECT_FALSE(rgba.create(8, 8, 24)); // already has a buffer
    EXPECT_EQ(rgba.getWidth(), 3);

    EXPECT_EQ(kvTexture(4, 4, 16).getStatus(), 1);
    EXPECT_EQ(kvTexture(0, 4, 24).getStatus(), 1);
    EXPECT_EQ(kvTexture(129, 1, 24).getBufferWidth(), 256);
    EXPECT_EQ(kvTexture(256, 128, 24).getBufferHeight(), 128);
}

TEST_F(Textures, ReleaseFreesBufferAndModifierOnce)
{
    kvTexture t(8, 8, 24);
    EXPECT_TRUE(t.setModifier(new kvNoiseModifier()));
    ASSERT_NE(t.getModifier(), nullptr);
    EXPECT_EQ(t.getModifier()->getTexture(), &t);
    EXPECT_TRUE(t.release());
    EXPECT_EQ(t.getPixels(), nullptr);
    EXPECT_EQ(t.getModifier(), nullptr);
    EXPECT_EQ(t.getStatus(), 0);
    EXPECT_EQ(t.getWidth(), 8);
    EXPECT_FALSE(t.release());
    EXPECT_FALSE(t.setModifier(nullptr));
}

TEST(TextureContainer, IndexesStartAtOneAndAreNeverReused)
{
    kvTextureContainer c;
    kvTexture* a = new kvTexture(2, 2, 24);
    EXPECT_EQ(c.add(a), kvTextureIndex(1));
    EXPECT_EQ(c.add(new kvTexture(2, 2, 24)), kvTextureIndex(2));
    EXPECT_EQ(c.add(new kvTexture(2, 2, 24)), kvTextureIndex(3));
    c.remove(kvTextureIndex(2));
    EXPECT_EQ(c.get(kvTextureIndex(2)), nullptr);
    EXPECT_EQ(c.add(new kvTexture(2, 2, 24)), kvTextureIndex(4));
    c.remove(kvTextureIndex(0));
    c.remove(kvTextureIndex(99));
    c.remove(kvTextureIndex(2));
    EXPECT_EQ(c.get(kvTextureIndex(0)), nullptr);
    EXPECT_EQ(c.get(kvTextureIndex(5)), nullptr);
    EXPECT_EQ(c.get(kvTextureIndex(1)), a);
    for (int32_t i = 1; i <= c.size(); ++i) c.remove(kvTextureIndex(i));
}
