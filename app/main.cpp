// Program entry: start-up, the show loop, the credits loop and teardown,
// in that order, on the one thread. Every start-up failure ends in an error
// box captioned "Korvell" and exit code 1. This is where the pieces are
// wired together: the player, the credits and the script get the renderer,
// the clock and the music player from here, and the window procedure talks
// to the show through the globals of kvBaseApp.h.
#include <SDL.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "app/kvBaseGL.h"
#include "app/kvBassPlay.h"
#include "app/kvMessageBox.h"
#include "app/kvMessages.h"
#include "app/kvSignals.h"
#include "app/kvTimer.h"
#include "credits/kvCredits.h"
#include "image/kvDataFile.h"
#include "player/kvPlayer.h"
#include "render/kvRenderer.h"
#include "script/kvParser.h"

using namespace Korvell;

namespace {

void showError(const char* text)
{
    if (g_app) g_app->showAppWindow(false);
    showMessageBox("Korvell", text);
}

// Ctrl+C and kill end the program with the shell's code for the signal.
int exitCodeFor(int code) { return quitSignal() ? signalExitCode(quitSignal()) : code; }

bool startUp()
{
    if (!g_app->enumerateModes()) {
        g_app->showAppWindow(false);
        showError("No capable video modes found on this device!");
        return false;
    }
    if (!g_app->runSetupDialog()) return false;
    if (!g_app->createAppWindow("Korvell")) {
        showError("Window creation failed!");
        return false;
    }
    if (!g_app->initApi()) {
        showError("Cannot initialize API!");
        return false;
    }
    return true;
}

void shutDown()
{
    closeDataFile();
    g_app->showAppWindow(false);
    g_app->releaseApi();
    g_app->destroyAppWindow();
    delete g_app;
}

// The frame loop of the show and of the credits: one window event, the
// title with the clock, a cleared frame set up in view units, the scene,
// the swap; until the quit message. A scene that is over (drawScene gives
// false) posts the quit message itself.
void runFrameLoop(kvRenderer& renderer, const std::function<bool()>& drawScene)
{
    while (g_app->pumpMessages()) {
        char title[64];
        std::snprintf(title, sizeof title, "Korvell :: %.3f", static_cast<double>(g_timer.elapsed()));
        SDL_SetWindowTitle(g_app->getWindow(), title);
        g_app->beginFrame();
        renderer.clear();
        renderer.setupView(g_app->getClientWidth(), g_app->getClientHeight());
        const bool goesOn = drawScene();
        g_app->endFrame();
        if (!goesOn) postQuitMessage(0);
    }
}

// From the player to the end of the credits. Whatever happens, leaving this
// function tears down what it made, newest first; shutDown follows.
int runShow()
{
    kvRenderer& renderer = *g_app->getRenderer();
    std::unique_ptr<kvPlayer> player(new kvPlayer(renderer, g_timer));
    std::unique_ptr<kvBassPlay> music(new kvBassPlay());
    kvScriptContext context;
    context.player = player.get();
    context.loadMusic = [&music](const std::string& file) { return music->loadStream(file); };
    context.noiseEnabled = g_noiseEnabled;
    kvParser parser(context);

    if (!parser.parse(g_app->getScriptFile())) {
        showError("XML Parse failed! Check xmlparse.log for details.");
        return 1;
    }
    parser.configure();
    // A picture that cannot be shown is named in the log, and on stderr.
    player->setProblemReporter([&parser](const std::string& line) {
        parser.logLine(line);
        std::fprintf(stderr, "korvell: %s\n", line.c_str());
    });
    // The view is known now: the first pictures are decoded for this window.
    renderer.setupView(g_app->getClientWidth(), g_app->getClientHeight());
    player->loadItemTexture(0);
    player->loadItemTexture(1);
    // Room for the pictures decoded ahead until the show recycles its first
    // texture (at the fourth slide): two ahead, and two more meanwhile.
    renderer.reserveTextures(4);
    g_app->showAppWindow(true);
    if (!g_app->applyVideoMode()) {
        showError("The selected video mode cannot be set!");
        return 1;
    }
    music->play();
    g_timer.start();

    runFrameLoop(renderer, [&player]() {
        if (g_previousRequested) player->requestPrevious();
        g_previousRequested = false;
        player->update();
        g_currentItem = player->getCurrent();
        return !player->isOver();
    });

    g_timer.stop();
    g_currentItem = nullptr; // the window procedure must not reach a slide that is gone
    player.reset();
    kvCredits credits(renderer, g_timer);
    credits.loadCredits();
    g_timer.start();
    // Ctrl+C during the show skips the credits too.
    if (!quitSignal()) runFrameLoop(renderer, [&credits]() {
        credits.drawCredits();
        return !credits.isOver();
    });

    music->stop();
    g_timer.stop();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    installQuitSignals();
    g_app = new kvBaseGL();
    // On a failed start the process ends with whatever was made still in
    // place; the system reclaims it.
    if (!startUp()) return exitCodeFor(1);
    const int exitCode = runShow();
    shutDown();
    // No SDL_Quit: it would unload the GL driver before the leak checker
    // runs, leaving its caches as anonymous leaks; the process ends anyway.
    return exitCodeFor(exitCode);
}
