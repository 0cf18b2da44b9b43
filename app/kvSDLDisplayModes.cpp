// Display modes through SDL. X11 reports 32-bit modes as 24 bits per pixel
// (XRGB8888), so "32 bits" means four bytes per pixel here.
#include "app/kvDisplayModes.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

namespace Korvell {

namespace {

bool videoReady()
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    std::fprintf(stderr, "korvell: no display: %s\n", SDL_GetError());
    return false;
}

std::vector<SDL_DisplayMode> readModes()
{
    std::vector<SDL_DisplayMode> modes;
    int n = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < n; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) == 0 && m.w > 0 && m.h > 0) modes.push_back(m);
    }
    return modes;
}

// The list, read once. An X server that has only just started can answer
// with an empty (0 x 0) mode list; asking again after a moment helps.
const std::vector<SDL_DisplayMode>& modeList()
{
    static std::vector<SDL_DisplayMode> modes;
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

bool kvSDLDisplayModes::getMode(int index, kvDisplayMode& mode)
{
    if (!videoReady()) return false;
    const std::vector<SDL_DisplayMode>& modes = modeList();
    if (index < 0 || index >= static_cast<int>(modes.size())) return false;
    const SDL_DisplayMode& m = modes[static_cast<size_t>(index)];
    mode.width = m.w;
    mode.height = m.h;
    mode.bitsPerPixel = SDL_BYTESPERPIXEL(m.format) * 8;
    mode.refreshRate = m.refresh_rate;
    return true;
}

bool kvSDLDisplayModes::testMode(const kvDisplayMode& mode)
{
    if (!videoReady()) return false;
    for (const SDL_DisplayMode& m : modeList())
        if (m.w == mode.width && m.h == mode.height) return true;
    return false;
}

} // namespace Korvell
