// The quit message and menu commands. Player and credits end a loop by
// posting the quit message; they never talk to SDL themselves.
#pragma once

namespace Korvell {

// Command identifiers of the popup menu.
enum {
    IDM_NEXT_IMAGE = 9001,
    IDM_PREVIOUS_IMAGE = 9002,
    IDM_QUIT = 9010,
    // Korvell's own: Space pauses and resumes the show.
    IDM_PAUSE = 9020
};

void postQuitMessage(int exitCode);
void postCommand(int id);

// How many quit messages were posted since start; lets tests without an
// event queue see that one was.
unsigned quitMessagesPosted();

} // namespace Korvell
