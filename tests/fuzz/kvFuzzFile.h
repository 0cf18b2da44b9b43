// Fuzz inputs that the code under test reads as files go through one
// scratch file per process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace Korvell {

inline std::string fuzzFile(const uint8_t* data, size_t size, const char* suffix)
{
    std::string path = "/tmp/korvell-fuzz-" + std::to_string(getpid()) + suffix;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

} // namespace Korvell
