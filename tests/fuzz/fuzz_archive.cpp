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
    kvDataFile archive;
    if (archive.open(path)) {
        for (const std::string& name : archive.entryNames()) {
            kvTexture texture(name, &archive);
            if (texture.getStatus() == 0 && !texture.getPixels()) __builtin_trap();
        }
        kvTexture absent("no such entry \x01", &archive);
        if (absent.getStatus() == 0) __builtin_trap();
    }
    std::remove(path.c_str());
    return 0;
}
