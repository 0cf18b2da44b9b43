// Textures decoded from committed JPEG fixtures, from the disk and from an
// archive, and the container's indexes.
#include <gtest/gtest.h>

#include "image/kvDataFile.h"
#include "image/kvTexture.h"
#include "image/kvTextureContainer.h"
#include "image/kvTextureModifier.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

struct Textures : ::testing::Test {
    void TearDown() override
    {
        closeDataFile();
        kvTexture::setMaxSize(16384);
    }
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

TEST_F(Textures, PictureLandsTopRowFirstInAZeroPaddedBuffer)
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
    size_t padding = 0, nonzero = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512 * 3; ++x)
            if (y >= 200 || x >= 900) {
                ++padding;
                nonzero += t.getPixels()[y * 512 * 3 + x] != 0;
            }
    EXPECT_EQ(padding, 512u * 256u * 3u - 300u * 200u * 3u);
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

TEST_F(Textures, WhatIsNotAnRgbJpegFailsQuietly)
{
    for (const char* name : {"grey.jpg", "picture.png", "picture-named.jpg", "empty.jpg", "truncated.jpg",
                             "no-such-file.jpg"}) {
        kvTexture t(fixture(name));
        EXPECT_EQ(t.getStatus(), 1) << name;
        EXPECT_EQ(t.getPixels(), nullptr) << name;
    }
}

TEST_F(Textures, BackslashIsADirectorySeparatorOnDisk)
{
    std::string dir = scratchDir("backslash");
    std::string cmd = "mkdir -p '" + dir + "/credits' && cp '" + fixture("one.jpg") + "' '" + dir + "/credits/back.jpg'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    kvTexture t(dir + "/credits\\back.jpg");
    EXPECT_EQ(t.getStatus(), 0);
}

TEST_F(Textures, PicturesBeyondTheLargestTextureAreRefused)
{
    kvTexture::setMaxSize(256);
    kvTexture big(fixture("quadrants.jpg")); // 300 wide
    EXPECT_EQ(big.getStatus(), 1);
    kvTexture blank(257, 2, 24);
    EXPECT_EQ(blank.getStatus(), 1);
}

TEST_F(Textures, ArchiveEntriesLoadAndAbsentNamesFailEvenWithAFileOnDisk)
{
    std::string jpeg = readFile(fixture("one.jpg"));
    std::string name = fixture("one.jpg"); // the same name also exists on disk
    std::string path = scratchDir("texarchive") + "/pics.kva";
    writeFile(path, oneEntryArchive("inside.jpg", jpeg, static_cast<uint32_t>(jpeg.size())));
    ASSERT_TRUE(openDataFile(path));
    kvTexture inside("inside.jpg");
    EXPECT_EQ(inside.getStatus(), 0);
    EXPECT_EQ(inside.getWidth(), 1);
    kvTexture onDisk(name);
    EXPECT_EQ(onDisk.getStatus(), 1);
}

TEST_F(Textures, ArchiveEntryClaimingMoreThanTheFileFails)
{
    std::string path = scratchDir("liar") + "/liar.kva";
    writeFile(path, oneEntryArchive("liar.jpg", readFile(fixture("one.jpg")), 0xFFFFFF00u));
    ASSERT_TRUE(openDataFile(path));
    kvTexture t("liar.jpg");
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
    EXPECT_EQ(c.add(a), 1);
    EXPECT_EQ(c.add(new kvTexture(2, 2, 24)), 2);
    EXPECT_EQ(c.add(new kvTexture(2, 2, 24)), 3);
    c.remove(2);
    EXPECT_EQ(c.get(2), nullptr);
    EXPECT_EQ(c.add(new kvTexture(2, 2, 24)), 4);
    c.remove(0);
    c.remove(99);
    c.remove(2);
    EXPECT_EQ(c.get(0), nullptr);
    EXPECT_EQ(c.get(5), nullptr);
    EXPECT_EQ(c.get(1), a);
    for (kvTextureIndex i = 1; i <= c.size(); ++i) c.remove(i);
}
