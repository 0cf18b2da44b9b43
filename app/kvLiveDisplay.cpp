// SDL's video for a user's screen, or a clear reason why there is none.
#include "app/kvLiveDisplay.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace Korvell {

namespace {

// Drivers that accept windows and GL contexts but put them on no screen.
bool drawsNowhere(const char* driver)
{
    return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// What was tried, in the user's terms: the variables that name displays.
std::string triedDisplays(const std::string& sdlError)
{
    const std::string x = environment("DISPLAY"), wayland = environment("WAYLAND_DISPLAY");
    std::string text;
    if (x.empty() && wayland.empty())
        text = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    else if (wayland.empty())
        text = "the X display \"" + x + "\" (DISPLAY) cannot be opened, and WAYLAND_DISPLAY is not set";
    else if (x.empty())
        text = "DISPLAY is not set, and the Wayland display \"" + wayland + "\" (WAYLAND_DISPLAY) cannot be opened";
    else
        text = "neither the X display \"" + x + "\" (DISPLAY) nor the Wayland display \"" + wayland
               + "\" (WAYLAND_DISPLAY) can be opened";
    if (!sdlError.empty()) text += " (SDL: " + sdlError + ")";
    return text;
}

} // namespace

bool startLiveDisplay(std::string* why)
{
    const std::string forced = environment("SDL_VIDEODRIVER");
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        // Only the drivers that show windows, unless the user names one:
        // SDL's own list ends in its offscreen driver.
        // (Wayland only where a session names one: libwayland's own guess
        // prints an error of its own.)
        if (forced.empty())
            SDL_SetHint(SDL_HINT_VIDEODRIVER, environment("WAYLAND_DISPLAY").empty() ? "x11" : "x11,wayland");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            if (why) *why = "no display: " + triedDisplays(forced.empty() ? std::string() : SDL_GetError());
            return false;
        }
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!drawsNowhere(driver)) {
        // SDL unloads the GL library with the last GL window, and loading
        // it again (Mesa's driver, LLVM with it) costs more than the rest
        // of the start: the dialog's window goes before the show's comes.
        static bool pinned = false;
        if (!pinned) pinned = SDL_GL_LoadLibrary(nullptr) == 0;
        return true;
    }
    const std::string name = driver ? driver : "none";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (why)
        *why = "no display: SDL's video driver \"" + name + "\"" + (forced.empty() ? "" : " (SDL_VIDEODRIVER)")
               + " shows no window; a show needs X11 or Wayland (korvell --render makes a video without a display)";
    return false;
}

} // namespace Korvell
