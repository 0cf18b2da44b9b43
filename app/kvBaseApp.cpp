// Window, events and the window procedure on SDL2.
#include "app/kvBaseApp.h"

#include "app/kvMessages.h"
#include "app/kvSetupDialog.h"
#include "app/kvSignals.h"
#include "app/kvTimer.h"
#include "player/kvPlayerItem.h"

namespace Korvell {

kvBaseGL* g_app = nullptr;
kvPlayerItem* g_currentItem = nullptr;
bool g_previousRequested = false;
bool g_noiseEnabled = false;

kvBaseApp::kvBaseApp()
    : window(nullptr), width(640), height(480), refreshRate(60), fullscreen(false), clientWidth(0),
      clientHeight(0), renderer(nullptr), displayModes(&sdlModes), popupActive(false),
      popupRequested(false), popupX(0), popupY(0)
{
}

kvBaseApp::~kvBaseApp()
{
    g_currentItem = nullptr;
}

bool kvBaseApp::initApi() { return true; }
bool kvBaseApp::releaseApi() { return true; }
void kvBaseApp::beginFrame() {}
void kvBaseApp::endFrame() {}

SDL_Window* kvBaseApp::createWindowHandle(const std::string& title)
{
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullscreen) flags |= SDL_WINDOW_BORDERLESS;
    return SDL_CreateWindow(title.c_str(), 0, 0, width, height, flags);
}

void kvBaseApp::readClientSize()
{
    SDL_GL_GetDrawableSize(window, &clientWidth, &clientHeight);
}

void kvBaseApp::prepareAhead(int w, int h, bool full)
{
    if (window || aheadWindow) return;
    setMode(w, h, refreshRate, full);
    if (!createAppWindow("Korvell")) return;
    aheadWindow = window;
    window = nullptr;
}

bool kvBaseApp::createAppWindow(const std::string& title)
{
    if (window) return false;
    if (aheadWindow) {
        // The window made ahead, now for the mode chosen.
        window = aheadWindow;
        aheadWindow = nullptr;
        windowTitle = title;
        SDL_SetWindowTitle(window, title.c_str());
        SDL_SetWindowBordered(window, fullscreen ? SDL_FALSE : SDL_TRUE);
        SDL_SetWindowSize(window, width, height);
        SDL_SetWindowPosition(window, 0, 0);
        readClientSize();
        return true;
    }
    // The close box is a request like any other: SDL must not turn it
    // into a second quit message of its own.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    windowTitle = title;
    window = createWindowHandle(title);
    if (!window) return false;
    // No text is typed into the show: without this every key press would
    // queue a text event besides its key events.
    SDL_StopTextInput();
    readClientSize();
    return true;
}

bool kvBaseApp::destroyAppWindow()
{
    if (!window) return false;
    SDL_DestroyWindow(window);
    window = nullptr;
    return true;
}

void kvBaseApp::showAppWindow(bool show)
{
    if (!window) return;
    if (show) {
        SDL_ShowWindow(window);
        SDL_RaiseWindow(window);
    } else {
        SDL_HideWindow(window);
    }
}

bool kvBaseApp::applyVideoMode()
{
    if (!fullscreen) return true;
    if (desktop) {
        if (window) SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return true;
    }
    kvDisplayMode mode;
    mode.width = width;
    mode.height = height;
    mode.bitsPerPixel = 32;
    mode.refreshRate = refreshRate;
    if (!displayModes->testMode(mode)) return false;
    if (window) {
        SDL_DisplayMode m;
        SDL_zero(m);
        m.w = width;
        m.h = height;
        m.refresh_rate = refreshRate;
        SDL_SetWindowDisplayMode(window, &m);
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
    }
    SDL_Delay(1000);
    return true;
}

namespace {
void coalesceHighRateEvents()
{
    // Korvell reads the pointer's position when it needs it (the popup
    // menu); the motion events themselves carry nothing. Windows keeps at
    // most one pending mouse move; here none wait, so a moving mouse (a
    // thousand reports a second) cannot build a backlog in front of the
    // keys and buttons that do mean something.
    static const Uint32 kinds[] = {SDL_MOUSEMOTION,          SDL_MOUSEWHEEL,
                                   SDL_FINGERMOTION,         SDL_MULTIGESTURE,
                                   SDL_JOYAXISMOTION,        SDL_JOYBALLMOTION,
                                   SDL_CONTROLLERAXISMOTION, SDL_CONTROLLERTOUCHPADMOTION,
                                   SDL_CONTROLLERSENSORUPDATE, SDL_SENSORUPDATE};
    SDL_PumpEvents();
    for (Uint32 kind : kinds) SDL_FlushEvent(kind);
}
} // namespace

bool kvBaseApp::pumpMessages()
{
    // Ctrl+C or kill: the loop ends at once, whatever is queued.
    if (quitSignal()) return false;
    coalesceHighRateEvents();
    SDL_Event event;
    if (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) return true;
    if (event.type == SDL_QUIT) return false;
    if (popupActive) feedEvent(event);
    handleEvent(event);
    return true;
}

void kvBaseApp::handleEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) postQuitMessage(0);
        break;
    case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE) {
            // An open menu takes the keyboard: Escape closes it and nothing
            // else. A held key repeats; only the press itself asks to quit,
            // so a long press during the show does not skip the credits too.
            if (popupActive)
                popupActive = false;
            else if (!event.key.repeat)
                postQuitMessage(0);
        } else if (popupActive) {
            if (event.key.keysym.sym == SDLK_q) {
                popupActive = false; // the menu's mnemonic for Quit
                postCommand(IDM_QUIT);
            }
        } else if (event.key.keysym.sym == SDLK_SPACE) {
            if (!event.key.repeat) handleCommand(IDM_PAUSE);
        } else if (event.key.keysym.sym == SDLK_RIGHT) {
            handleCommand(IDM_NEXT_IMAGE);
        } else if (event.key.keysym.sym == SDLK_LEFT) {
            handleCommand(IDM_PREVIOUS_IMAGE);
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_RIGHT) {
            popupActive = true;
            popupRequested = true;
            popupX = event.button.x;
            popupY = event.button.y;
        }
        break;
    case SDL_USEREVENT:
        handleCommand(event.user.code);
        break;
    default:
        break;
    }
}

void kvBaseApp::handleCommand(int id)
{
    switch (id) {
    case IDM_NEXT_IMAGE:
        // g_currentItem is reset when the player goes away, so a command
        // arriving during the credits finds null and does nothing. A paused
        // clock stays paused, at the slide's end.
        if (g_currentItem) {
            const bool paused = g_timer.isPaused();
            g_timer.resume();
            g_timer.setElapsed(g_currentItem->endTime);
            if (paused) g_timer.pause();
        }
        break;
    case IDM_PAUSE:
        if (g_timer.isPaused())
            g_timer.resume();
        else if (g_timer.isRunning())
            g_timer.pause();
        else
            break;
        if (pauseHandler) pauseHandler(g_timer.isPaused());
        break;
    case IDM_PREVIOUS_IMAGE:
        g_previousRequested = true;
        break;
    case IDM_QUIT:
        postQuitMessage(0);
        break;
    default:
        break;
    }
}

bool kvBaseApp::enumerateModes()
{
    kvDisplayMode mode;
    for (int i = 0; displayModes->getMode(i, mode); ++i) {
        // The switch test comes first for every mode, then the depth.
        if (!displayModes->testMode(mode)) continue;
        if (mode.bitsPerPixel != 32) continue;
        if (findResolution(mode.width, mode.height) == -1) resolutions.emplace_back(mode.width, mode.height);
        if (findRefreshRate(mode.refreshRate) == -1) refreshRates.push_back(mode.refreshRate);
    }
    return !resolutions.empty();
}

int kvBaseApp::findResolution(int w, int h) const
{
    for (size_t i = 0; i < resolutions.size(); ++i)
        if (resolutions[i].first == w && resolutions[i].second == h) return static_cast<int>(i);
    return -1;
}

int kvBaseApp::findRefreshRate(int rate) const
{
    for (size_t i = 0; i < refreshRates.size(); ++i)
        if (refreshRates[i] == rate) return static_cast<int>(i);
    return -1;
}

bool kvBaseApp::runSetupDialog()
{
    kvSetupDialog dialog(*this);
    return dialog.run();
}

bool kvBaseApp::setDesktopMode()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    SDL_DisplayMode m;
    if (SDL_GetDesktopDisplayMode(0, &m) != 0 || m.w <= 0 || m.h <= 0) return false;
    setMode(m.w, m.h, m.refresh_rate, true);
    desktop = true;
    return true;
}

void kvBaseApp::setMode(int w, int h, int rate, bool full)
{
    desktop = false;
    width = w;
    height = h;
    refreshRate = rate;
    fullscreen = full;
}

} // namespace Korvell
