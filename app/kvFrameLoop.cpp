// The live frame loop, on g_app's window and the live clock.
#include "app/kvFrameLoop.h"

#include <SDL.h>

#include <cstdio>

#include "app/kvBaseGL.h"
#include "app/kvMessages.h"
#include "app/kvTimer.h"
#include "render/kvRenderer.h"

namespace Korvell {

void runFrameLoop(kvRenderer& renderer, const std::function<bool()>& drawScene)
{
    while (g_app->pumpMessages()) {
        char title[64];
        std::snprintf(title, sizeof title, "Korvell :: %.3f", static_cast<double>(g_timer.elapsed()));
        SDL_SetWindowTitle(g_app->getWindow(), title);
        g_app->beginFrame();
        const bool goesOn = renderer.drawFrame(g_app->getClientWidth(), g_app->getClientHeight(), drawScene);
        g_app->endFrame();
        if (!goesOn) postQuitMessage(0);
    }
}

} // namespace Korvell
