// The live show: a show read from its script (kvScriptedShow) on the live
// clock, with the music player, and the show loop with what the command
// line adds to it (a later start, live reload). The entry function makes
// one after start-up; it lives on under the credits (its archive and music
// serve them) and goes before teardown.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/kvBassPlay.h"
#include "app/kvFileWatcher.h"
#include "script/kvScriptedShow.h"

namespace Korvell {

class kvRenderer;

class kvShow {
public:
    // A script file, or (`text` given) a script Korvell made itself, which
    // keeps no log.
    kvShow(kvRenderer& renderer, const std::string& script, const std::string& text = std::string());
    ~kvShow();

    // Whether the credits are to follow (when the show has them): the music
    // then plays under them and ends with them. Before load.
    void setCredits(bool wanted) { creditsWanted = wanted; }
    // Reads and applies the script and loads its music; false when it
    // cannot be read.
    bool load();
    // After a failed load: what the error box says.
    std::string failureMessage() const { return show->failureMessage(); }
    // Loads the first pictures (those of slides 0 and 1, or of the slide
    // showing at `start` and the one before it) and sets aside texture
    // storage for the pictures decoded ahead.
    void prepare(float start);
    // Starts the music and the clock (at `start` seconds).
    void start(float start);
    // The show loop until the quit message. With `watch`, a change to the
    // script or a file it names reads the script again and goes on at
    // the same time.
    void run(bool watch);
    // One frame of the show drawn; false once it is over.
    bool step();
    // The player goes; the music plays on under the credits, resumed if the
    // show was paused (Space in the credits pauses both again).
    void endShow();
    // Whether the credits have anything to show: a script's credits
    // pictures are in its folder or archive (a show Korvell made has none).
    bool hasCredits() const;
    kvBassPlay& getMusic() { return *music; }
    // Reads the script again and goes on at the same time (what a change
    // seen by --watch does); the old show stays when it does not parse.
    void reload();

private:
    kvShow(const kvShow&) = delete;
    kvShow& operator=(const kvShow&) = delete;
    std::unique_ptr<kvScriptedShow> makeShow();
    void watchFiles();
    // The script's music into the player, told where the show ends.
    void loadMusic();
    // Where the music ends: with the show, or with its credits.
    double musicEnd() const;
    // Each track's modification time, to tell a changed file.
    std::vector<long long> musicStampOf(const kvMusic& m) const;

    kvRenderer& renderer;
    std::string script;
    std::string text;
    std::unique_ptr<kvBassPlay> music;
    std::unique_ptr<kvScriptedShow> show;
    std::vector<long long> musicStamp;
    bool creditsWanted = true;
    kvFileWatcher watcher;
};

} // namespace Korvell
