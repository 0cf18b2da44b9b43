// Quit and command messages on SDL's event queue.
#include "app/kvMessages.h"

#include <SDL.h>

namespace Korvell {

namespace {
unsigned g_quitCount = 0;
}

void postQuitMessage(int exitCode)
{
    (void)exitCode; // every quit in Korvell carries 0
    ++g_quitCount;
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    // Like the Windows quit flag, posting again while one is pending adds
    // nothing; otherwise a spare quit would end the next loop at once.
    SDL_PumpEvents();
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0) return;
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

void postCommand(int id)
{
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_USEREVENT;
    e.user.code = id;
    SDL_PushEvent(&e);
}

unsigned quitMessagesPosted() { return g_quitCount; }

} // namespace Korvell
