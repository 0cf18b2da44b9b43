// The setup dialog "Korvell :: Setup": video mode, refresh rate, windowed
// running, noise and language, chosen before the main window exists.
// The choices live here apart from the drawing so tests can check the
// lists, defaults and results without a display.
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

namespace Korvell {

class kvBaseApp;

class kvSetupDialog {
public:
    explicit kvSetupDialog(kvBaseApp& app);

    // Shows the dialog modally; true exactly when it ended with "Demo".
    bool run();

    // Dialog initialisation: list texts and default selections.
    const std::vector<std::string>& resolutionItems() const { return resolutionTexts; }
    const std::vector<std::string>& refreshItems() const { return refreshTexts; }
    const std::vector<std::string>& languageItems() const { return languageTexts; }

    // The selections and check boxes, as the user leaves them.
    int resolution;
    int refresh;
    int language;
    bool windowed;
    bool noise;

    // What "Demo" does: store the mode, the script file and the noise flag.
    void accept();

    // Controls that take the focus, in the template's tab order.
    enum Control { DEMO, DIE, RESOLUTION, REFRESH, WINDOWED, LANGUAGE, NOISE, CONTROL_COUNT };
    enum Result { GO_ON = 0, RESULT_DEMO = 1, RESULT_DIE = 2 };
    int focus;

    // The keyboard as in a native dialog: Tab and Shift+Tab move the focus,
    // Space presses or toggles, the arrows choose in the focused list, Enter
    // presses the focused button or else "Demo", Escape is "Die".
    Result handleKey(SDL_Keycode key, bool shift);

private:
    bool runWindow();

    kvBaseApp& app;
    std::vector<std::string> resolutionTexts;
    std::vector<std::string> refreshTexts;
    std::vector<std::string> languageTexts;
};

} // namespace Korvell
