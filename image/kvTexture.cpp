// Decoding with DevIL from memory, always as JPEG. Every failure is silent
// and ends with status 1; the renderer then hands out index 0.
#include "image/kvTexture.h"

#include <IL/il.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

#include "image/kvDataFile.h"
#include "image/kvJpegInfo.h"
#include "image/kvTextureModifier.h"

namespace Korvell {

namespace {
int g_maxSide = 16384;
// Above these a buffer is refused before it is asked for: no picture a show
// can use needs more.
const uint64_t kMaxBufferBytes = 1ull << 30;
const long long kMaxFileBytes = 256ll << 20;
// 64 megapixels: an 8192 x 8192 picture, five times a 12-megapixel photo.
const uint64_t kMaxPixels = 64ull << 20;

void initDecoder()
{
    static bool ready = false;
    if (ready) return;
    ilInit();
    // Row 0 of a decoded picture is its top row.
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ilEnable(IL_ORIGIN_SET);
    ready = true;
}

// A name read from the disk uses '\' as a directory separator as well.
std::string diskPath(const std::string& name)
{
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

// The whole file (or archive entry) in memory; false on any short read.
bool readSource(const std::string& fileName, std::vector<uint8_t>& data)
{
    if (isDataFileOpen()) {
        FILE* f = openDataFileEntry(fileName);
        if (!f) return false;
        uint32_t size = getDataFileEntrySize(fileName);
        // An entry that claims more than the archive holds is refused
        // before anything of that size is allocated.
        if (!dataFileEntryFits(fileName) || size > kMaxFileBytes) return false;
        try {
            data.resize(size);
        } catch (const std::exception&) {
            return false;
        }
        return size == 0 || fread(data.data(), 1, size, f) == size;
    }
    FILE* f = fopen(diskPath(fileName).c_str(), "rb");
    if (!f) return false;
    // Only regular files: a folder opens too, and claims an absurd size.
    struct stat st;
    bool ok = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxFileBytes;
    if (ok) {
        try {
            data.resize(static_cast<size_t>(st.st_size));
            ok = data.empty() || fread(data.data(), 1, data.size(), f) == data.size();
        } catch (const std::exception&) {
            ok = false;
        }
    }
    fclose(f);
    return ok;
}
} // namespace

void kvTexture::setMaxSize(int side) { g_maxSide = side > 0 ? side : 16384; }
int kvTexture::getMaxSize() { return g_maxSide; }

kvTexture::kvTexture(const std::string& fileName)
    : status(1), width(0), height(0), bufferWidth(0), bufferHeight(0), bytesPerPixel(0),
      pixels(nullptr), modifier(nullptr)
{
    if (load(fileName)) status = 0;
}

kvTexture::kvTexture(int w, int h, int bitsPerPixel)
    : status(0), width(0), height(0), bufferWidth(0), bufferHeight(0), bytesPerPixel(0),
      pixels(nullptr), modifier(nullptr)
{
    if (!create(w, h, bitsPerPixel)) status = 1;
}

kvTexture::~kvTexture()
{
    delete[] pixels;
    delete modifier;
}

void kvTexture::computeBufferSize(int w, int h)
{
    bufferWidth = 2;
    while (bufferWidth < w) bufferWidth *= 2;
    bufferHeight = 2;
    while (bufferHeight < h) bufferHeight *= 2;
}

bool kvTexture::create(int w, int h, int bitsPerPixel)
{
    if (pixels || w <= 0 || h <= 0) return false;
    if (bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    // Sides past the GL's limit (which also keeps the doubling below from
    // overflowing) are refused.
    if (w > g_maxSide || h > g_maxSide) return false;
    if (static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > kMaxPixels) return false;
    int bpp = bitsPerPixel / 8;
    computeBufferSize(w, h);
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

bool kvTexture::load(const std::string& fileName)
{
    std::vector<uint8_t> data;
    if (!readSource(fileName, data) || data.empty()) return false;

    // Refuse what the decoder would hang on, and a picture that could never
    // become a texture, before the decoder allocates room for it.
    const kvJpegInfo info = jpegInspect(data.data(), data.size());
    if (!info.sound || info.width > g_maxSide || info.height > g_maxSide
        || static_cast<uint64_t>(info.width) * static_cast<uint64_t>(info.height) > kMaxPixels)
        return false;

    initDecoder();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ILboolean decoded = ilLoadL(IL_JPG, data.data(), static_cast<ILuint>(data.size()));
    std::vector<uint8_t>().swap(data);
    if (!decoded) {
        ilDeleteImages(1, &image);
        return false;
    }
    int bpp = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL);
    int h = ilGetInteger(IL_IMAGE_HEIGHT);
    int w = ilGetInteger(IL_IMAGE_WIDTH);
    if (ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE || !create(w, h, bpp * 8)) {
        ilDeleteImages(1, &image);
        return false;
    }
    const uint8_t* src = ilGetData();
    if (!src) {
        release();
        ilDeleteImages(1, &image);
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
    const size_t stride = static_cast<size_t>(bufferWidth) * bytesPerPixel;
    for (int y = 0; y < height; ++y) std::memcpy(pixels + y * stride, src + y * rowBytes, rowBytes);
    ilDeleteImages(1, &image);
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
