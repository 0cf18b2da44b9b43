// The application object: main window, chosen video mode, the mode lists of
// the setup dialog, the script file name and the renderer. It pumps window
// events and runs the window procedure (the one event handler of the main
// window: quit requests, popup menu, the next/previous image commands).
// kvBaseGL adds the OpenGL context.
#pragma once

#include <SDL.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/kvDisplayModes.h"

namespace Korvell {

class kvRenderer;
class kvPlayerItem;

class kvBaseApp {
public:
    kvBaseApp();
    virtual ~kvBaseApp();

    virtual bool initApi();
    virtual bool releaseApi();
    virtual void beginFrame();
    virtual void endFrame();

    // A window (and with kvBaseGL its context) made hidden while the setup
    // dialog waits for the user, for the mode it offers first; the window
    // and context of the show take them, fitted to the mode chosen. On the
    // software renderer a multisampled context costs a good part of the
    // start; made here, it is ready when "Demo" is pressed.
    virtual void prepareAhead(int w, int h, bool full);
    bool createAppWindow(const std::string& title);
    bool destroyAppWindow();
    void showAppWindow(bool show);
    bool applyVideoMode();
    // One message per call, as the Windows loop takes one per frame; high-rate
    // events that carry no command (pointer motion) are dropped first.
    bool pumpMessages();

    // The window procedure: one event, handled as the Windows program would
    // handle the matching message.
    void handleEvent(const SDL_Event& event);
    void handleCommand(int id);

    // Setup dialog and display modes.
    bool enumerateModes();
    int findResolution(int w, int h) const;
    int findRefreshRate(int rate) const;
    bool runSetupDialog();
    void setMode(int w, int h, int rate, bool full);
    // Full-screen on the desktop as it is: the desktop's size, no mode
    // switch (a show started from the command line without --mode).
    bool setDesktopMode();
    bool isDesktopMode() const { return desktop; }
    // Told when Space pauses (true) or resumes (false) the show's clock.
    void setPauseHandler(std::function<void(bool)> handler) { pauseHandler = handler; }
    void setScriptFile(const std::string& file) { scriptFile = file; }
    std::string getScriptFile() const { return scriptFile; }
    const std::vector<std::pair<int, int>>& getResolutions() const { return resolutions; }
    const std::vector<int>& getRefreshRates() const { return refreshRates; }
    // Tests hand in their own modes; the app keeps ownership of neither.
    void setDisplayModes(kvDisplayModes* modes) { displayModes = modes ? modes : &sdlModes; }

    SDL_Window* getWindow() const { return window; }
    kvRenderer* getRenderer() const { return renderer; }
    int getClientWidth() const { return clientWidth; }
    int getClientHeight() const { return clientHeight; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    int getRefreshRate() const { return refreshRate; }
    bool isFullscreen() const { return fullscreen; }

    bool isPopupOpen() const { return popupActive; }

protected:
    // Lets the OpenGL side hand events to the popup menu while it is open.
    virtual void feedEvent(const SDL_Event& event) { (void)event; }
    SDL_Window* createWindowHandle(const std::string& title);
    void readClientSize();

    SDL_Window* window;
    SDL_Window* aheadWindow = nullptr; // made by prepareAhead, not yet taken
    int width;
    int height;
    int refreshRate;
    bool fullscreen;
    int clientWidth;
    int clientHeight;
    kvRenderer* renderer;
    std::string scriptFile;
    std::vector<std::pair<int, int>> resolutions;
    std::vector<int> refreshRates;
    bool desktop = false;
    std::function<void(bool)> pauseHandler;

    kvDisplayModes* displayModes;
    kvSDLDisplayModes sdlModes;
    std::string windowTitle;

    // Popup menu state: requested by a right-button release, drawn by
    // endFrame until an entry is chosen or it is dismissed.
    bool popupActive;
    bool popupRequested;
    int popupX;
    int popupY;
};

// The entry function's wiring between the window procedure and the show:
// the one application object, the slide the player shows (or null), the
// previous-image request and the setup dialog's Noise choice.
class kvBaseGL;
extern kvBaseGL* g_app;
extern kvPlayerItem* g_currentItem;
extern bool g_previousRequested;
extern bool g_noiseEnabled;

} // namespace Korvell
