// The command line. Without arguments Korvell runs as it always has (the
// setup dialog, then english.xml or polish.xml in the working folder);
// anything on the command line is an addition to that: a script to play
// from anywhere, the mode, the checker, live reload, video export.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvell {

struct kvCommandLine {
    // What to do.
    enum Action { PLAY, CHECK, RENDER, NEW, HELP, VERSION, BAD };
    Action action = PLAY;
    // True when nothing at all was given: the original behaviour.
    bool plain = true;

    bool setup = false;
    bool windowed = false;
    bool hasMode = false;
    int modeWidth = 0;
    int modeHeight = 0;
    int modeRate = 0; // 0: whatever the display offers
    bool noise = false;
    std::string language = "english";
    bool hasStart = false;
    float start = 0.0f;
    bool watch = false;
    // The names given: a script (several for --check), or pictures and
    // folders of them.
    std::vector<std::string> scripts;

    // A show of pictures and folders (kvShowSource tells which they are).
    bool recursive = false;
    std::string order = "taken"; // taken, name or random
    bool hasSeed = false;
    uint64_t seed = 0;
    bool hasSeconds = false;
    float seconds = 5.0f;
    std::string fit = "blur";
    std::vector<std::string> music; // one after another
    double crossfade = 0.0;
    bool fitMusic = false;
    bool beats = false; // changes of picture on the music's beats
    bool captions = false;
    float clipSeconds = 30.0f;   // a clip plays at most its first seconds
    bool livePhotosPlay = false; // a Live or Motion Photo plays its moment first
    bool focus = true;           // slides aimed at what their pictures show
    // Any of the above given: they mean something only for pictures.
    bool pictureOptions = false;
    // --new: the script written.
    std::string newScript;

    // --render and what goes with it.
    std::string renderFile;
    std::string container; // from the file's extension
    int renderWidth = 1920;
    int renderHeight = 1080;
    int fps = 30;
    bool credits = true; // --no-credits: live as well as rendered
    std::string srtFile; // ends in .srt
    bool force = false;  // replace an existing output (or --new's script) whatever it is
    bool quiet = false;
    bool allowSilent = false; // music that cannot be read is no failure
    std::string encoder = "x264"; // or "vaapi", "nvenc"
    // Text needs no multisampling, so a render takes none unless asked.
    int samples = 0;
    bool hasSamples = false; // --samples given (live, the most samples tried; else 8)

    // For BAD: the one-line reason.
    std::string error;
};

kvCommandLine parseCommandLine(int argc, char** argv);

// The usage text `korvell --help` prints.
extern const char* const kUsage;

// "WxH" or "WxH@HZ"; false when it is neither.
bool parseMode(const std::string& text, int& width, int& height, int& rate);

} // namespace Korvell
