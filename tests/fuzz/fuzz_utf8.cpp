// utf8ToCp1250 never grows its input.
#include <cstdint>
#include <string>

#include "text/kvTextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string in(reinterpret_cast<const char*>(data), size);
    std::string out = Korvell::utf8ToCp1250(in);
    if (out.size() > in.size()) __builtin_trap();
    return 0;
}
