// dlopen of Korvell's modules; each stays loaded to the end of the process
// (the objects it makes must outlive it, and unloading gains nothing).
#include "app/kvEncoderModule.h"

#include "export/kvTrackDecoder.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace Korvell {

namespace {

// Empty when the program's own path cannot be read (no /proc in a chroot).
std::string programFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

} // namespace

void* moduleEntry(const char* module, const char* variable, const char* entry, const char* what, std::string* error)
{
    // Clips' workers load it too, each on its own thread.
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    static std::map<std::string, void*> loaded;
    void*& handle = loaded[module];
    if (!handle) {
        std::vector<std::string> candidates;
        if (const char* given = std::getenv(variable)) candidates.push_back(given);
        const std::string folder = programFolder();
        if (!folder.empty()) {
            candidates.push_back(folder + "/" + module);
            candidates.push_back(folder + "/../" KORVELL_MODULE_DIR "/" + module);
        }
        // Where it was installed, whatever the program's path.
        candidates.push_back(std::string(KORVELL_INSTALL_PREFIX "/" KORVELL_MODULE_DIR "/") + module);
        std::string why;
        for (const std::string& c : candidates) {
            if (access(c.c_str(), F_OK) != 0) continue;
            handle = dlopen(c.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle) break;
            why = dlerror();
        }
        if (!handle) {
            if (error)
                *error = std::string(what) + " (" + module + ") cannot be loaded: "
                         + (why.empty() ? "it is neither beside korvell nor in " KORVELL_INSTALL_PREFIX "/" KORVELL_MODULE_DIR : why);
            return nullptr;
        }
    }
    void* found = dlsym(handle, entry);
    if (!found && error) *error = std::string(what) + " module has no " + entry;
    return found;
}

std::unique_ptr<kvEncoder> loadEncoder(std::string* error)
{
    const auto make = reinterpret_cast<kvMakeEncoder>(
        moduleEntry("korvell-encoder.so", "KORVELL_ENCODER", KORVELL_ENCODER_ENTRY, "the video encoder", error));
    return std::unique_ptr<kvEncoder>(make ? make() : nullptr);
}

std::unique_ptr<kvTrackReader> openTrackInModule(const std::string& file, std::string* reason)
{
    const auto open = reinterpret_cast<kvOpenTrack>(
        moduleEntry("korvell-encoder.so", "KORVELL_ENCODER", KORVELL_TRACK_ENTRY, "the video encoder", reason));
    return std::unique_ptr<kvTrackReader>(open ? open(file, reason) : nullptr);
}

std::unique_ptr<kvClipDecoder> makeClipDecoderInModule(std::string* reason)
{
    const auto make = reinterpret_cast<kvMakeClipDecoder>(
        moduleEntry("korvell-encoder.so", "KORVELL_ENCODER", KORVELL_CLIP_ENTRY, "the clip decoder", reason));
    return std::unique_ptr<kvClipDecoder>(make ? make() : nullptr);
}

bool probeClipInModule(const std::string& file, kvClipFacts* facts, std::string* reason)
{
    const auto probe = reinterpret_cast<kvProbeClip>(
        moduleEntry("korvell-encoder.so", "KORVELL_ENCODER", KORVELL_PROBE_ENTRY, "the clip decoder", reason));
    return probe && probe(file, facts, reason);
}

std::unique_ptr<kvBeatFinder> loadBeatFinder(int rate, std::string* error)
{
    const auto make = reinterpret_cast<kvMakeBeatFinder>(
        moduleEntry("korvell-beats.so", "KORVELL_BEATS", KORVELL_BEATS_ENTRY, "the beat finder", error));
    return std::unique_ptr<kvBeatFinder>(make ? make(rate) : nullptr);
}

} // namespace Korvell
