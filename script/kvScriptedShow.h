// One show read from its script: the player, the parser and the archive,
// wired to a renderer and a clock. The live show, the render and the
// checker all start a show this way: parse, configure (the handlers set up
// the player, open the archive, name the music), prepare for a view.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "image/kvDataFile.h"
#include "player/kvPlayer.h"
#include "script/kvParser.h"

namespace Korvell {

class kvClock;
class kvRenderer;

class kvScriptedShow {
public:
    struct Options {
        bool noise = false;
        std::string log = "xmlparse.log"; // "": none
        // Pictures that cannot be shown are named in the log and on stderr.
        bool reportProblems = true;
        // A clip's facts from its headers (its length and sound); unset: the
        // show knows none, and a clip's slide needs its time given.
        std::function<bool(const std::string& file, kvClipFacts* facts)> probeClip;
    };
    kvScriptedShow(kvRenderer& renderer, kvClock& clock, const Options& options);
    ~kvScriptedShow();

    // Reads the script (relative to the working folder); false when it
    // cannot be read, and failureMessage says why.
    bool parse(const std::string& script);
    // A script Korvell wrote itself (a folder show), named `name`.
    bool parseText(const std::string& name, const std::string& text);
    // Runs the handlers; the renderer then reads pictures from this show's
    // archive when it opened one.
    void configure();
    bool load(const std::string& script);
    // The view set up for a client area, then the first pictures (those of
    // the slide showing at `start` and the one before it) and storage set
    // aside for those decoded ahead.
    void prepare(int clientWidth, int clientHeight, float start);

    kvPlayer& getPlayer() { return *player; }
    const kvPlayer& getPlayer() const { return *player; }
    kvParser& getParser() { return *parser; }
    const kvParser& getParser() const { return *parser; }
    kvDataFile& getArchive() { return archive; }
    // The later of the music and playlist elements; empty without either.
    const kvMusic& getMusic() const { return music; }
    std::string failureMessage() const { return parser->failureMessage(); }
    // The disk files the script names, as read ('\\' for '/'), with what
    // each is to the show: "the show's music", "the show's archive", "the
    // picture".
    struct NamedFile {
        std::string role;
        std::string path;
    };
    std::vector<NamedFile> namedFiles() const;
    // Why no picture of this show would be drawn (an image area of no
    // size), and the line to name; empty when pictures are drawn.
    std::string whyNoPictureIsDrawn(int* line) const;
    // The player goes (the credits follow); the archive stays open for them.
    void endPlayer() { player.reset(); }

private:
    kvScriptedShow(const kvScriptedShow&) = delete;
    kvScriptedShow& operator=(const kvScriptedShow&) = delete;

    kvRenderer& renderer;
    Options options;
    kvDataFile archive;
    std::unique_ptr<kvPlayer> player;
    std::unique_ptr<kvParser> parser;
    kvMusic music;
};

} // namespace Korvell
