// What the names on the command line are: one script to play, or pictures,
// clips and folders of them, gathered into the photos of a folder show
// (each told by its bytes, its date and description read from its
// headers; a Live Photo's still and clip one moment), in the order asked.
// One picture alone plays its folder, starting with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/kvPhotoOrder.h"

namespace Korvell {

struct kvShowSource {
    enum Kind { SCRIPT, PHOTOS, BAD };
    Kind kind = SCRIPT;
    std::string script;          // SCRIPT: its name as given
    std::vector<kvPhoto> photos; // PHOTOS: paths absolute, in show order
    std::string error;           // BAD: the one-line reason
    int code = 0;                // BAD: 2 for names that do not go together, 1 for no pictures
};

struct kvGatherOptions {
    bool recursive = false; // into subfolders
    bool captions = false;  // read each photo's description
    kvPhotoOrder order = kvPhotoOrder::Taken;
    uint64_t seed = 0;
};

// Whether a file's first bytes are those of a picture the decoder reads,
// or of a clip (MP4, MOV, M4V, 3GP, Matroska, WebM, AVI).
bool isShowFile(const std::string& path);

// Pictures that cannot be shown and names a script cannot hold are named
// on stderr and left out; other files are skipped without a word.
kvShowSource gatherShow(const std::vector<std::string>& names, const kvGatherOptions& options);

} // namespace Korvell
