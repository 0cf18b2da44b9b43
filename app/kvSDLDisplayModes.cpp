// Display modes through SDL. X11 reports 32-bit modes as 24 bits per pixel
// (XRGB8888), so "32 bits" means four bytes per pixel here.
#include "app/kvDisplayModes.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "app/kvLiveDisplay.h"

namespace Korvell {

namespace {

bool videoReady()
{
    std::string why;
    if (startLiveDisplay(&why)) return true;
    std::fprintf(stderr, "korvell: %s\n", why.c_str());
    return false;
}

std::vector<kvDisplayMode> readModes()
{
    std::vector<kvDisplayMode> modes;
    int n = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < n; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w <= 0 || m.h <= 0) continue;
        kvDisplayMode mode;
        mode.width = m.w;
        mode.height = m.h;
        mode.bitsPerPixel = SDL_BYTESPERPIXEL(m.format) * 8;
        mode.refreshRate = m.refresh_rate;
        modes.push_back(mode);
    }
    sortModesAscending(modes);
    return modes;
}

// The list, read once. An X server that has only just started can answer
// with an empty (0 x 0) mode list; asking again after a moment helps.
const std::vector<kvDisplayMode>& modeList()
{
    static std::vector<kvDisplayMode> modes;
    static bool read = false;
    if (read) return modes;
    for (int attempt = 0; attempt < 5 && modes.empty(); ++attempt) {
        if (attempt > 0) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            SDL_Delay(200);
            if (!videoReady()) break;
        }
        modes = readModes();
    }
    read = true;
    return modes;
}

} // namespace

void sortModesAscending(std::vector<kvDisplayMode>& modes)
{
    std::stable_sort(modes.begin(), modes.end(), [](const kvDisplayMode& a, const kvDisplayMode& b) {
        return std::tie(a.width, a.height, a.bitsPerPixel, a.refreshRate)
               < std::tie(b.width, b.height, b.bitsPerPixel, b.refreshRate);
    });
}

bool kvSDLDisplayModes::getMode(int index, kvDisplayMode& mode)
{
    if (!videoReady()) return false;
    const std::vector<kvDisplayMode>& modes = modeList();
    if (index < 0 || index >= static_cast<int>(modes.size())) return false;
    mode = modes[static_cast<size_t>(index)];
    return true;
}

bool kvSDLDisplayModes::testMode(const kvDisplayMode& mode)
{
    if (!videoReady()) return false;
    for (const kvDisplayMode& m : modeList())
        if (m.width == mode.width && m.height == mode.height) return true;
    return false;
}

} // namespace Korvell
