// Bytes as a picture file.
#include <cstdint>
#include <cstdio>

#include "image/kvTexture.h"
#include "kvFuzzFile.h"

using namespace Korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzFile(data, size, ".jpg");
    {
        kvTexture texture(path);
        if (texture.getStatus() == 0) {
            // A decoded picture sits in a power-of-two buffer at least its size.
            if (texture.getBufferWidth() < texture.getWidth() || texture.getBufferHeight() < texture.getHeight()
                || (texture.getBytesPerPixel() != 3 && texture.getBytesPerPixel() != 4))
                __builtin_trap();
        }
    }
    std::remove(path.c_str());
    return 0;
}
