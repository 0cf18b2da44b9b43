// Pictures from files: read whole from the disk or the open archive, checked,
// and decoded with DevIL from memory, always as JPEG. Every failure is
// silent and ends with status 1; the renderer then hands out index 0.
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

namespace Korvell {

namespace {
const long long kMaxFileBytes = 256ll << 20;

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

kvTexture::kvTexture(const std::string& fileName)
    : status(1), width(0), height(0), bufferWidth(0), bufferHeight(0), bytesPerPixel(0),
      pixels(nullptr), modifier(nullptr)
{
    if (load(fileName)) status = 0;
}

bool kvTexture::load(const std::string& fileName)
{
    std::vector<uint8_t> data;
    if (!readSource(fileName, data) || data.empty()) return false;

    // Refuse what the decoder would hang on, and a picture that could never
    // become a texture, before the decoder allocates room for it.
    const kvJpegInfo info = jpegInspect(data.data(), data.size());
    if (!info.sound || info.width > getMaxSize() || info.height > getMaxSize()
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

} // namespace Korvell
