// A show made from photos (and clips) alone, written as a script: every
// picture the same time, entering by a crossfade, fitted (blur unless
// chosen), with a gentle pan and zoom that varies from slide to slide but
// depends only on the slide's place, so the same photos always make the
// same show; a clip for its own length, without pan and zoom. The
// live folder show and `korvell --new` both play this text.
#pragma once

#include <string>
#include <vector>

#include "math/kvRegion.h"
#include "script/kvPhotoOrder.h"

namespace Korvell {

struct kvFolderShowOptions {
    float seconds = 5.0f;           // each picture
    float crossfade = 1.0f;         // each entry
    std::string fit = "blur";       // a <fit> keyword
    std::vector<std::string> music; // as the script names them
    double musicCrossfade = 0.0;    // between two tracks
    // Each picture's own seconds (cuts on the beat); `seconds` for any
    // beyond them.
    std::vector<double> times;
    bool captions = false;          // each photo's own description as its subtitle
    std::string face = "DejaVu Sans";
    // A clip plays at most its first seconds; a Live or Motion Photo's
    // moment plays (muted) before its still, or only its still shows.
    float clipSeconds = 30.0f;
    bool livePhotosPlay = false;
    // A comment before each slide with the photo's date, and one atop the
    // script saying how it was made (for a script a person will edit).
    bool comments = false;
    std::string madeBy;
    // Each slide aimed at what its picture shows (`<focus>auto</focus>`),
    // and the regions found already, by photo (a script for a person to
    // see and edit names them; empty: found as the show plays).
    bool focus = true;
    std::vector<kvRegion> regions;
};

// The pan and zoom of slide n of a picture of that shape: a zoom in or out
// by 10 to 15 % and a pan along the longer side, inside the picture all
// the time (a fitted pan is never held at the edge).
struct kvSlideMotion {
    float startZoom, zoomFactor; // the image's zoom and <zoom f>
    float x, y, moveX, moveY;    // the start shift and <move>
};
kvSlideMotion slideMotion(size_t n, int width, int height);
// Slide n's motion when it is aimed at its picture's focus: from the whole
// picture in towards the focus, or from it out to the whole, by turns,
// 10 to 15 %; no pan of its own (the focus places the window).
kvSlideMotion focusMotion(size_t n);

// Why a file name cannot be written into a script ("" when it can): XML
// cannot hold control characters or invalid UTF-8, and the show reads a
// backslash as a folder separator.
std::string unwritableName(const std::string& name);

// The slides the photos make, in order (a moment played is a slide of its
// own before its still): each clip's or moment's fixed seconds, 0 for a
// picture's, whose seconds are the show's (or the beats').
std::vector<double> folderSlideLengths(const std::vector<kvPhoto>& photos, const kvFolderShowOptions& options);

// The script: photos in the order given, their paths as written there.
std::string writeFolderScript(const std::vector<kvPhoto>& photos, const kvFolderShowOptions& options);

} // namespace Korvell
