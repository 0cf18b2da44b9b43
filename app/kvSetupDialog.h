// The setup dialog "Korvell :: Setup": video mode, refresh rate, windowed
// running, noise and language, chosen before the main window exists.
// The choices live here apart from the drawing so tests can check the
// lists, defaults and results without a display.
#pragma once

#include <string>
#include <vector>

namespace Korvell {

class kvBaseApp;

class kvSetupDialog {
public:
    explicit kvSetupDialog(kvBaseApp& app);
    virtual ~kvSetupDialog();

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

private:
    bool runWindow();

    kvBaseApp& app;
    std::vector<std::string> resolutionTexts;
    std::vector<std::string> refreshTexts;
    std::vector<std::string> languageTexts;
};

} // namespace Korvell
