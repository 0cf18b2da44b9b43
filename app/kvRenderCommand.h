// `korvell --render FILE [...] [SCRIPT]`: the show rendered to a video file.
// Exit codes: 0 when the file is written, 1 when it cannot be (nothing is
// left behind), 2 when an output is refused before anything is drawn (it
// is a file the show reads, a folder, or a file of another kind), 130,
// 143 or 129 after Ctrl+C, kill or a closed terminal.
#pragma once

#include <string>
#include <vector>

#include "app/kvCommandLine.h"

namespace Korvell {

class kvScriptedShow;

// The script `script`, or (`made` given) the script of a show of pictures,
// whose names are absolute.
int runRender(const kvCommandLine& cmd, const std::string& script, const std::string& made);

// What may become of an output path, told before anything is drawn.
struct kvOutputCheck {
    int code = 0;           // 0: go on; else the exit code, with `error`
    std::string error;
    std::string target;     // the file written (a link's target)
    bool replacing = false; // an existing file of ours is replaced
};

// An output must lie in a folder that exists, must not be a folder, a
// device or a FIFO, and replaces an existing file only when `isOurs` says
// it is what Korvell writes there, or with `force`.
kvOutputCheck checkOutput(const std::string& path, const std::string& option, bool force,
                          bool (*isOurs)(const std::string&));
// By first bytes: an MP4 (not a HEIC or AVIF picture), Matroska or WebM
// file; a SubRip file (empty, or a cue number first).
bool isKorvellVideo(const std::string& path);
bool isSubRipFile(const std::string& path);

// Every file a configured show reads from the disk, with what it is to
// the show: the script, its music, its archive, its pictures and the
// credits' pictures.
struct kvShowInput {
    std::string role;
    std::string file;
};
std::vector<kvShowInput> showInputs(const std::string& script, const kvScriptedShow& show);

} // namespace Korvell
