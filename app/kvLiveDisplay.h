// The display a live show, the setup dialog and the error box need: SDL's
// video started on a driver whose windows reach a screen. When the X
// connection fails, SDL would quietly fall back to its offscreen driver
// and the whole show would play to nobody; here that start fails instead,
// with what was tried. A render keeps its own offscreen start.
#pragma once

#include <string>

namespace Korvell {

// Starts SDL's video for windows a user sees (X11 or Wayland unless
// SDL_VIDEODRIVER names another). True when it runs on such a driver;
// false, with why, when there is none: nothing is then left started.
bool startLiveDisplay(std::string* why);

} // namespace Korvell
