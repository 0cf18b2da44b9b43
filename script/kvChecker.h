// The script checker behind `korvell --check`: reads a script as the show
// would (the same parser, handlers and player, against a renderer that
// draws nothing) and reports what would go wrong or silently differ from
// what its author probably meant, each finding at the line of the element
// it concerns. It runs in the script's folder, as the show would.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/kvClipDecoder.h"

namespace Korvell {

class kvDataFile;

struct kvFinding {
    int line = 0;
    bool error = false;
    std::string text;
    bool note = false; // told, but nothing wrong: the exit code stays 0
};

// What the checker needs of the platform: whether a picture's bytes decode
// (the reason when not), whether a music file plays (the reason when not;
// its length when known), which face fontconfig draws for a request, and
// the first character of a text no installed font draws (0 for none).
struct kvCheckHooks {
    // `warning`: it shows, but something was passed over (its colour profile).
    std::function<std::string(const std::vector<uint8_t>& bytes, std::string* warning)> pictureProblem;
    std::function<std::string(const std::string& file, double* seconds)> musicProblem;
    std::function<std::string(const std::string& face, bool bold, bool italic)> drawnFace;
    std::function<uint32_t(const std::string& text)> undrawable;
    // Whether any of the credits' pictures is there (in the archive when
    // one is open); unset: they are taken to be there.
    std::function<bool(const kvDataFile& archive)> creditsPictures;
    // How long the credits last, for the music's length.
    double creditsSeconds = 0.0;
    // A clip opened and its first frame decoded: "" and its facts, or why
    // it cannot be shown. Unset: clips are taken to play, facts unknown.
    std::function<std::string(const std::string& file, kvClipFacts* facts)> clipProblem;
};

// Findings in line order; the script is named by a path relative to the
// working folder (which should be its own folder).
std::vector<kvFinding> checkScript(const std::string& script, const kvCheckHooks& hooks);

// "FILE:LINE: error: TEXT", "FILE:LINE: warning: TEXT" or "FILE:LINE: note: TEXT".
std::string formatFinding(const std::string& file, const kvFinding& finding);

} // namespace Korvell
