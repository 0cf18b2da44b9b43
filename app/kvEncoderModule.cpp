// dlopen of the encoder module; it stays loaded to the end of the process
// (an encoder's code must outlive it, and unloading gains nothing).
#include "app/kvEncoderModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace Korvell {

namespace {

const char* const kModule = "korvell-encoder.so";

std::string programFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash);
}

} // namespace

std::unique_ptr<kvEncoder> loadEncoder(std::string* error)
{
    static void* module = nullptr;
    if (!module) {
        std::vector<std::string> candidates;
        if (const char* given = std::getenv("KORVELL_ENCODER")) candidates.push_back(given);
        const std::string folder = programFolder();
        candidates.push_back(folder + "/" + kModule);
        candidates.push_back(folder + "/../lib/korvell/" + kModule);
        std::string why;
        for (const std::string& c : candidates) {
            if (access(c.c_str(), F_OK) != 0) continue;
            module = dlopen(c.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module) break;
            why = dlerror();
        }
        if (!module) {
            if (error)
                *error = std::string("the video encoder (") + kModule + ") cannot be loaded: "
                         + (why.empty() ? "it is not installed beside korvell" : why);
            return nullptr;
        }
    }
    const auto make = reinterpret_cast<kvMakeEncoder>(dlsym(module, KORVELL_ENCODER_ENTRY));
    if (!make) {
        if (error) *error = std::string("the video encoder module has no ") + KORVELL_ENCODER_ENTRY;
        return nullptr;
    }
    return std::unique_ptr<kvEncoder>(make());
}

} // namespace Korvell
