// Program entry: start-up, the show loop, the credits loop and teardown,
// in that order, on the one thread. Every start-up failure ends in an error
// box captioned "Korvell" and exit code 1. Without arguments it is the
// program as it always was; the command line adds a script from anywhere,
// a folder or pictures to play, the mode, the checker, live reload and the
// render (kvCommandLine).
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/kvBaseGL.h"
#include "app/kvCheckCommand.h"
#include "app/kvCommandLine.h"
#include "app/kvFolderCommand.h"
#include "app/kvFrameLoop.h"
#include "app/kvLiveDisplay.h"
#include "app/kvMemory.h"
#include "app/kvMessageBox.h"
#include "app/kvRenderCommand.h"
#include "app/kvShow.h"
#include "app/kvShowSource.h"
#include "app/kvSignals.h"
#include "app/kvTimer.h"
#include "base/kvFiles.h"
#include "credits/kvCredits.h"
#include "render/kvRenderer.h"

#ifndef KORVELL_VERSION
#define KORVELL_VERSION "dev"
#endif

using namespace Korvell;

namespace {

void showError(const char* text)
{
    if (g_app) g_app->showAppWindow(false);
    showMessageBox("Korvell", text);
}

int say(const std::string& text, int code)
{
    std::fprintf(stderr, "korvell: %s\n", text.c_str());
    return code;
}

// Ctrl+C and kill end the program with the shell's code for the signal.
int exitCodeFor(int code) { return quitSignal() ? signalExitCode(quitSignal()) : code; }

// The setup dialog's way (no arguments, or --setup), or the command line's.
bool chooseMode(const kvCommandLine& cmd, const std::string& script)
{
    if (cmd.plain || cmd.setup) {
        if (!g_app->enumerateModes()) {
            g_app->showAppWindow(false);
            showError("No capable video modes found on this device!");
            return false;
        }
        if (!g_app->runSetupDialog()) return false;
        // The dialog's language applies only without a script named.
        if (!cmd.scripts.empty()) g_app->setScriptFile(script);
        g_noiseEnabled = g_noiseEnabled || cmd.noise;
        return true;
    }
    g_app->setScriptFile(script);
    g_noiseEnabled = cmd.noise;
    if (cmd.windowed)
        g_app->setMode(cmd.hasMode ? cmd.modeWidth : 640, cmd.hasMode ? cmd.modeHeight : 480, cmd.modeRate, false);
    else if (cmd.hasMode)
        g_app->setMode(cmd.modeWidth, cmd.modeHeight, cmd.modeRate, true);
    else if (!g_app->setDesktopMode()) {
        showError("No capable video modes found on this device!");
        return false;
    }
    return true;
}

bool startUp(const kvCommandLine& cmd, const std::string& script)
{
    if (!chooseMode(cmd, script)) return false;
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
    g_app->showAppWindow(false);
    g_app->releaseApi();
    g_app->destroyAppWindow();
    delete g_app;
}

// From the show to the end of the credits. Whatever happens, leaving this
// function tears down what it made, newest first; shutDown follows.
int runShowAndCredits(const kvCommandLine& cmd, const std::string& made)
{
    kvRenderer& renderer = *g_app->getRenderer();
    kvShow show(renderer, g_app->getScriptFile(), made);
    show.setCredits(cmd.credits);
    if (!show.load()) {
        showError(show.failureMessage().c_str());
        return 1;
    }
    const float start = cmd.hasStart ? cmd.start : 0.0f;
    show.prepare(start);
    g_app->showAppWindow(true);
    if (!g_app->applyVideoMode()) {
        showError("The selected video mode cannot be set!");
        return 1;
    }
    show.start(start);
    show.run(cmd.watch);

    g_timer.stop();
    show.endShow();
    // Without its credits pictures the forty seconds would be plain white:
    // such a show, and a show of pictures, ends with its last slide.
    if (cmd.credits && show.hasCredits())
        runCredits(renderer, g_timer, [&renderer](const std::function<bool()>& scene) {
            g_timer.start();
            // Ctrl+C during the show skips the credits too.
            if (!quitSignal()) runFrameLoop(renderer, scene);
        });
    show.getMusic().stop();
    g_timer.stop();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const kvCommandLine cmd = parseCommandLine(argc, argv);
    switch (cmd.action) {
    case kvCommandLine::HELP:
        std::fputs(kUsage, stdout);
        return 0;
    case kvCommandLine::VERSION:
        std::printf("korvell %s\n", KORVELL_VERSION);
        return 0;
    case kvCommandLine::BAD:
        std::fprintf(stderr, "korvell: %s\nTry 'korvell --help'.\n", cmd.error.c_str());
        return 2;
    case kvCommandLine::CHECK:
        return runCheck(cmd.scripts);
    case kvCommandLine::NEW:
        return runNew(cmd);
    case kvCommandLine::RENDER:
        break;
    case kvCommandLine::PLAY: {
        // Every window of a live run (the dialog, the show, the error box)
        // needs a screen: without one, end now rather than play to nobody.
        std::string why;
        if (!startLiveDisplay(&why)) {
            std::fprintf(stderr, "korvell: Window creation failed!\nkorvell: %s\n", why.c_str());
            return 1;
        }
        break;
    }
    }
    // A script, or pictures and folders of them: a show Korvell writes.
    std::string named = cmd.language == "polish" ? "polish.xml" : "english.xml";
    std::string made;
    if (!cmd.scripts.empty()) {
        const kvShowSource source = gatherShow(cmd.scripts, gatherOptionsOf(cmd));
        if (source.kind == kvShowSource::BAD) return say(source.error, source.code);
        if (source.kind == kvShowSource::SCRIPT) {
            if (cmd.pictureOptions)
                return say("-r, --order, --seed, --seconds, --fit, --music, --fit-music and --captions go with "
                           "pictures or a folder, not a script",
                           2);
            named = source.script;
        } else {
            if (cmd.watch)
                return say("--watch reads a script again as it changes: write one with --new, then watch it", 2);
            std::string why;
            if (!makeFolderScript(cmd, source.photos, std::string(), &made, &why)) return say(why, 1);
            named = "the pictures";
        }
    } else if (cmd.pictureOptions) {
        return say("-r, --order, --seed, --seconds, --fit, --music, --fit-music and --captions go with pictures "
                   "or a folder",
                   2);
    }
    if (cmd.action == kvCommandLine::RENDER) return runRender(cmd, named, made);
    // For a show, not a render: there the GL allocates a resolve buffer per
    // frame, and a system allocation each time cost a tenth of the time.
    allocateLargeBlocksFromTheSystem();
    installQuitSignals();
    // A script named on the command line is played from its own folder,
    // as if Korvell had been started there.
    const std::string script = made.empty() && !cmd.scripts.empty() ? enterScriptFolder(named) : named;
    g_app = new kvBaseGL();
    if (cmd.hasSamples) g_app->setMaxSamples(cmd.samples);
    // On a failed start the process ends with whatever was made still in
    // place; the system reclaims it.
    if (!startUp(cmd, script)) return exitCodeFor(1);
    const int exitCode = runShowAndCredits(cmd, made);
    shutDown();
    // No SDL_Quit: it would unload the GL driver before the leak checker
    // runs, leaving its caches as anonymous leaks; the process ends anyway.
    return exitCodeFor(exitCode);
}
