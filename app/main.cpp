// Program entry: start-up, the show loop, the credits loop and teardown,
// in that order, on the one thread. Every start-up failure ends in an error
// box captioned "Korvell" and exit code 1.
#include <SDL.h>

#include <cstdio>

#include "app/kvBaseGL.h"
#include "app/kvBassPlay.h"
#include "app/kvMessageBox.h"
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
int exitCodeFor(int code)
{
    return quitSignal() ? signalExitCode(quitSignal()) : code;
}

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

void setTitle(kvTimer* timer)
{
    char title[64];
    std::snprintf(title, sizeof title, "Korvell :: %.3f", static_cast<double>(timer->elapsed()));
    SDL_SetWindowTitle(g_app->getWindow(), title);
}

} // namespace

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    installQuitSignals();
    g_app = new kvBaseGL(nullptr);
    if (!startUp()) return exitCodeFor(1);

    kvRenderer* renderer = g_app->getRenderer();
    kvTimer* timer = g_app->getTimer();
    kvPlayer* player = new kvPlayer();
    kvBassPlay* music = new kvBassPlay();
    int exitCode = 0;
    {
        kvParser parser(player);
        if (!parser.parse(g_app->getScriptFile())) {
            showError("XML Parse failed! Check xmlparse.log for details.");
            delete player;
            delete music;
            shutDown();
            exitCode = 1;
        } else {
            parser.configure();
            player->loadItemTexture(0);
            player->loadItemTexture(1);
            g_app->showAppWindow(true);
            if (!g_app->applyVideoMode()) {
                showError("The selected video mode cannot be set!");
                delete music;
                delete player;
                shutDown();
                exitCode = 1;
            } else {
                music->play();
                timer->start();

                while (g_app->pumpMessages()) {
                    setTitle(timer);
                    g_app->beginFrame();
                    renderer->clear();
                    renderer->setupView();
                    player->update();
                    g_app->endFrame();
                }

                timer->stop();
                delete player;
                loadCredits(g_app);
                timer->start();

                while (!quitSignal() && g_app->pumpMessages()) {
                    setTitle(timer);
                    g_app->beginFrame();
                    renderer->clear();
                    renderer->setupView();
                    drawCredits(g_app);
                    g_app->endFrame();
                }

                music->stop();
                timer->stop();
                delete music;
                shutDown();
            }
        }
    }
    // No SDL_Quit: it would unload the GL driver before the leak checker
    // runs, leaving its caches as anonymous leaks; the process ends anyway.
    return exitCodeFor(exitCode);
}
