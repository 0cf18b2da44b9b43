// Bytes as a picture file: decoded at full size from the disk, and again
// at a small size (a DCT scale, turned by any orientation it claims); its
// date read by hand as a folder show orders it.
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <vector>

#include "image/kvExifReader.h"
#include "image/kvPictureDecoder.h"
#include "image/kvTexture.h"
#include "kvFuzzFile.h"

using namespace Korvell;

namespace {
// A decoded picture sits in a power-of-two buffer at least its size.
void check(const kvTexture& t)
{
    if (t.getBufferWidth() < t.getWidth() || t.getBufferHeight() < t.getHeight()
        || (t.getBytesPerPixel() != 3 && t.getBytesPerPixel() != 4))
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzFile(data, size, ".jpg");
    {
        kvTexture texture(path);
        if (texture.getStatus() == 0) check(texture);
    }
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        kvExifDate date;
        readPhotoDate(fd, data, size < 65536 ? size : 65536, size, &date);
        close(fd);
    }
    std::remove(path.c_str());
    const std::vector<uint8_t> bytes(data, data + size);
    kvTexture small;
    std::string reason;
    if (decodePicture(bytes, 48, 32, small, &reason))
        check(small);
    else if (reason.empty())
        __builtin_trap(); // a refusal always says why
    return 0;
}
