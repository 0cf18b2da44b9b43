// The pixel buffer of a texture: made blank at a size, painted by a
// modifier, released after upload. Decoding from files is in
// kvPictureDecoder.cpp, with the platform's decoder.
#include "image/kvTexture.h"

#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "image/kvPictureInfo.h"
#include "image/kvTextureModifier.h"

namespace Korvell {

namespace {
int g_maxSide = 16384;
// Above this a buffer is refused before it is asked for: no picture a show
// can use needs more.
const uint64_t kMaxBufferBytes = 1ull << 30;

// Pixel buffers of pictures just shown, kept for the next picture of the
// same size: a show's photos are mostly alike, and a buffer the process
// has touched before costs no page faults (tens of milliseconds for a
// 12-megapixel buffer). Small buffers are left to malloc; one is kept
// (one picture is decoded ahead at a time), shared by the show's thread
// and the decoding worker.
const size_t kPoolMinBytes = 1u << 20;
const size_t kPoolBuffers = 1;
std::mutex g_poolMutex;
// Never destroyed: a texture may be released during static destruction,
// and a buffer left here at exit stays reachable for the leak checker.
std::vector<std::pair<size_t, uint8_t*>>& g_pool = *new std::vector<std::pair<size_t, uint8_t*>>;

uint8_t* takeBuffer(size_t bytes)
{
    if (bytes >= kPoolMinBytes) {
        std::lock_guard<std::mutex> lock(g_poolMutex);
        for (auto it = g_pool.begin(); it != g_pool.end(); ++it) {
            if (it->first != bytes) continue;
            uint8_t* b = it->second;
            g_pool.erase(it);
            return b;
        }
    }
    return new (std::nothrow) uint8_t[bytes];
}

void giveBack(uint8_t* buffer, size_t bytes)
{
    if (!buffer) return;
    if (bytes >= kPoolMinBytes) {
        std::lock_guard<std::mutex> lock(g_poolMutex);
        g_pool.insert(g_pool.begin(), std::make_pair(bytes, buffer));
        if (g_pool.size() <= kPoolBuffers) return;
        buffer = g_pool.back().second;
        g_pool.pop_back();
    }
    delete[] buffer;
}
} // namespace

size_t kvTexture::bufferBytes() const
{
    return static_cast<size_t>(bufferWidth) * static_cast<size_t>(bufferHeight) * static_cast<size_t>(bytesPerPixel);
}

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
    giveBack(pixels, bufferBytes());
    delete modifier;
}

bool kvTexture::create(int w, int h, int bitsPerPixel)
{
    // Sides past the GL's limit (which also keeps the doubling from
    // overflowing) are refused.
    if (w > g_maxSide || h > g_maxSide) return false;
    return createBuffer(w, h, bitsPerPixel, bufferSide(w), bufferSide(h));
}

bool kvTexture::createBuffer(int w, int h, int bitsPerPixel, int bufW, int bufH, bool cleared)
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
    uint8_t* buffer = takeBuffer(bytes);
    if (!buffer) return false;
    if (cleared) std::memset(buffer, 0, bytes);
    pixels = buffer;
    width = w;
    height = h;
    bytesPerPixel = bpp;
    return true;
}

bool kvTexture::release()
{
    if (!pixels) return false;
    giveBack(pixels, bufferBytes());
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
