// The error box: Korvell's own small window titled "Korvell" with the
// message, an error sign and OK, drawn with the toolkit of the setup
// dialog so that it shows on any X server (no core fonts, no zenity).
// Modal: it returns once Enter, Escape, the close box or OK acknowledge it.
// SDL's own message box serves only when this window cannot open; the
// text always goes to stderr as well.
#pragma once

#include <SDL.h>

#include <string>

namespace Korvell {

// Whether an event acknowledges the box (given the box's window id).
bool messageBoxAcknowledges(const SDL_Event& event, Uint32 windowId);

void showMessageBox(const std::string& title, const std::string& text);

} // namespace Korvell
