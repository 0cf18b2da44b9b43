// One picture in memory as 8-bit RGB or RGBA in a power-of-two buffer
// (sides never below 2), ready to upload. Made by decoding a JPEG or PNG
// file, from the disk or from the open archive, or blank for a modifier to
// paint.
#pragma once

#include <cstdint>
#include <string>

#include "math/kvRegion.h"
#include "math/vector3.h"

namespace Korvell {

class kvDataFile;
class kvTextureModifier;

class kvTexture {
public:
    // A picture read whole, from the archive when it is given and open.
    explicit kvTexture(const std::string& fileName, const kvDataFile* archive = nullptr);
    kvTexture(int width, int height, int bitsPerPixel);
    // Empty, for a decoder to fill with createBuffer.
    kvTexture();
    ~kvTexture();

    bool create(int width, int height, int bitsPerPixel);
    // As create, with the buffer's sides given (powers of two, at least the
    // picture's): a picture decoded at a DCT scale keeps the full-size
    // buffer's proportions.
    // Unless `cleared` is false (a caller that writes every byte, as a
    // clip's frames do with their edges extended), the buffer starts black.
    bool createBuffer(int width, int height, int bitsPerPixel, int bufferWidth, int bufferHeight, bool cleared = true);
    bool load(const std::string& fileName, const kvDataFile* archive = nullptr);
    bool release();
    bool setPixel(int x, int y, vector3 color);
    bool setModifier(kvTextureModifier* modifier);
    // Copies the picture's edge pixels into the one column and row of
    // padding beside it, and its first row and column into the last ones
    // of the buffer (what repeat-wrapping samples next to them), so linear
    // filtering blends an edge with itself rather than with black. Pans
    // past the picture still reach the black beyond that one texel.
    void extendEdges();

    int getStatus() const { return status; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    int getBufferWidth() const { return bufferWidth; }
    int getBufferHeight() const { return bufferHeight; }
    int getBytesPerPixel() const { return bytesPerPixel; }
    // Whether every pixel is opaque: three bytes a pixel, or four said to
    // be (a clip's frames), so drawing it at full opacity needs no blend.
    bool isOpaque() const { return bytesPerPixel == 3 || opaqueAlpha; }
    void setOpaque(bool opaque) { opaqueAlpha = opaque; }
    // What the slide should keep in frame, when it was looked for (the
    // faces found, or the busiest region); empty when not.
    const kvRegion& getFocus() const { return focus; }
    void setFocus(const kvRegion& region) { focus = region; }
    size_t bufferBytes() const;
    uint8_t* getPixels() const { return pixels; }
    kvTextureModifier* getModifier() const { return modifier; }

    // The largest buffer side a texture may have. The renderer sets it from
    // GL_MAX_TEXTURE_SIZE, so a picture the GL cannot hold fails to load
    // instead of drawing nothing.
    static void setMaxSize(int side);
    static int getMaxSize();
    // 64 megapixels: an 8192 x 8192 picture, five times a 12-megapixel photo.
    static const uint64_t kMaxPixels = 64ull << 20;

private:
    kvTexture(const kvTexture&) = delete;
    kvTexture& operator=(const kvTexture&) = delete;

    int status;
    int width;
    int height;
    int bufferWidth;
    int bufferHeight;
    int bytesPerPixel;
    uint8_t* pixels;
    kvTextureModifier* modifier;
    bool opaqueAlpha = false;
    kvRegion focus;
};

} // namespace Korvell
