// Quit signals through sigaction; the handler only notes the number.
#include "app/kvSignals.h"

#include <SDL.h>

#include <csignal>

namespace Korvell {

namespace {
volatile std::sig_atomic_t g_signal = 0;

void onSignal(int signal) { g_signal = signal; }
} // namespace

void installQuitSignals()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // the second one is not caught
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // The terminal going away ends Korvell as kill does (a render removes
    // its partial files).
    sigaction(SIGHUP, &action, nullptr);
}

int quitSignal() { return g_signal; }

void clearQuitSignal() { g_signal = 0; }

} // namespace Korvell
