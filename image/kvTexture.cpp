// The pixel buffer of a texture: made blank at a size, painted by a
// modifier, released after upload. Decoding from files is in
// kvTextureDecode.cpp, with the platform's decoder.
#include "image/kvTexture.h"

#include <cstring>
#include <new>

#include "image/kvPictureInfo.h"
#include "image/kvTextureModifier.h"

namespace Korvell {

namespace {
int g_maxSide = 16384;
// Above this a buffer is refused before it is asked for: no picture a show
// can use needs more.
const uint64_t kMaxBufferBytes = 1ull << 30;
} // namespace

void kvTexture::setMaxSize(int side) { g_maxSide = side > 0 ? side : 16384; }
int kvTexture::getMaxSize() { return g_maxSide; }

kvTexture::kvTexture(int w, int h, int bitsPerPixel)
    : status(0), width(0), height(0), bufferWidth(0), bufferHeight(0), bytesPerPixel(0),
      pixels(nullptr), modifier(nullptr)
{
    if (!create(w, h, bitsPerPixel)) status = 1;
}

kvTexture::kvTexture()
    : status(0), width(0), height(0), bufferWidth(0), bufferHeight(0), bytesPerPixel(0), pixels(nullptr),
      modifier(nullptr)
{
}

kvTexture::~kvTexture()
{
    delete[] pixels;
    delete modifier;
}

bool kvTexture::create(int w, int h, int bitsPerPixel)
{
    // Sides past the GL's limit (which also keeps the doubling from
    // overflowing) are refused.
    if (w > g_maxSide || h > g_maxSide) return false;
    return createBuffer(w, h, bitsPerPixel, bufferSide(w), bufferSide(h));
}

bool kvTexture::createBuffer(int w, int h, int bitsPerPixel, int bufW, int bufH)
{
    if (pixels || w <= 0 || h <= 0) return false;
    if (bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    if (bufW < w || bufH < h || bufW > g_maxSide || bufH > g_maxSide) return false;
    if (static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > kMaxPixels) return false;
    int bpp = bitsPerPixel / 8;
    bufferWidth = bufW;
    bufferHeight = bufH;
    uint64_t bytes = static_cast<uint64_t>(bufferWidth) * static_cast<uint64_t>(bufferHeight) * bpp;
    if (bytes > kMaxBufferBytes) return false;
    uint8_t* buffer = new (std::nothrow) uint8_t[bytes];
    if (!buffer) return false;
    std::memset(buffer, 0, bytes);
    pixels = buffer;
    width = w;
    height = h;
    bytesPerPixel = bpp;
    return true;
}

bool kvTexture::release()
{
    if (!pixels) return false;
    delete[] pixels;
    pixels = nullptr;
    delete modifier;
    modifier = nullptr;
    return true;
}

void kvTexture::extendEdges()
{
    if (!pixels) return;
    const size_t bpp = static_cast<size_t>(bytesPerPixel);
    const size_t stride = static_cast<size_t>(bufferWidth) * bpp;
    auto px = [&](int x, int y) { return pixels + static_cast<size_t>(y) * stride + x * bpp; };
    const bool right = width < bufferWidth, below = height < bufferHeight;
    // The picture's edges, one texel on.
    if (right)
        for (int y = 0; y < height; ++y) std::memcpy(px(width, y), px(width - 1, y), bpp);
    const size_t rowBytes = static_cast<size_t>(right ? width + 1 : width) * bpp;
    if (below) std::memcpy(px(0, height), px(0, height - 1), rowBytes);
    // Then what wrapping samples beside the first row and column, unless
    // that texel is already the edge's (a picture one short of its buffer).
    if (bufferHeight - 1 > height) std::memcpy(px(0, bufferHeight - 1), px(0, 0), rowBytes);
    if (bufferWidth - 1 > width)
        for (int y = 0; y < bufferHeight; ++y) std::memcpy(px(bufferWidth - 1, y), px(0, y), bpp);
}

bool kvTexture::setPixel(int x, int y, vector3 color)
{
    uint8_t* p = pixels + (static_cast<size_t>(y) * bufferWidth + x) * bytesPerPixel;
    p[0] = static_cast<uint8_t>(color.x * 255.0f);
    p[1] = static_cast<uint8_t>(color.y * 255.0f);
    p[2] = static_cast<uint8_t>(color.z * 255.0f);
    if (bytesPerPixel == 4) p[3] = 255;
    return true;
}

bool kvTexture::setModifier(kvTextureModifier* m)
{
    delete modifier;
    modifier = m;
    if (!m) return false;
    return m->setTexture(this);
}

} // namespace Korvell
