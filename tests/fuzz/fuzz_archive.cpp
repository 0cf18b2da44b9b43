// Bytes as an archive: opened, and every entry looked up and decoded as a
// texture.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/kvDataFile.h"
#include "image/kvTexture.h"
#include "kvFuzzFile.h"

using namespace Korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzzFile(data, size, ".kva");
    if (openDataFile(path)) {
        for (const std::string& name : dataFileEntryNames()) {
            kvTexture texture(name);
            if (texture.getStatus() == 0 && !texture.getPixels()) __builtin_trap();
        }
        kvTexture absent("no such entry \x01");
        if (absent.getStatus() == 0) __builtin_trap();
        closeDataFile();
    }
    std::remove(path.c_str());
    return 0;
}
