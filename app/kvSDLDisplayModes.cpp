// Display modes through SDL. X11 reports 32-bit modes as 24 bits per pixel
// (XRGB8888), so "32 bits" means four bytes per pixel here.
#include "app/kvDisplayModes.h"

#include <SDL.h>

namespace Korvell {

namespace {
bool videoReady()
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}
} // namespace

bool kvSDLDisplayModes::getMode(int index, kvDisplayMode& mode)
{
    if (!videoReady()) return false;
    if (index < 0 || index >= SDL_GetNumDisplayModes(0)) return false;
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, index, &m) != 0) return false;
    mode.width = m.w;
    mode.height = m.h;
    mode.bitsPerPixel = SDL_BYTESPERPIXEL(m.format) * 8;
    mode.refreshRate = m.refresh_rate;
    return true;
}

bool kvSDLDisplayModes::testMode(const kvDisplayMode& mode)
{
    if (!videoReady()) return false;
    SDL_DisplayMode want;
    SDL_zero(want);
    want.w = mode.width;
    want.h = mode.height;
    want.refresh_rate = mode.refreshRate;
    SDL_DisplayMode got;
    if (!SDL_GetClosestDisplayMode(0, &want, &got)) return false;
    return got.w == mode.width && got.h == mode.height;
}

} // namespace Korvell
