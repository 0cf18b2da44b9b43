// Shows of pictures from the command line: the script made of the photos
// and the options, to play or render at once (its names absolute), or
// written by `korvell --new SCRIPT` for a person to edit (its names
// relative to it, a comment with each photo's date).
#pragma once

#include <string>
#include <vector>

#include "app/kvCommandLine.h"
#include "app/kvShowSource.h"

namespace Korvell {

kvGatherOptions gatherOptionsOf(const kvCommandLine& cmd);

// The script of a show of `photos` (paths absolute), its names made
// relative to `folder` unless it is empty, and the seconds each picture is
// shown; false with the reason when the music it must fit cannot be read.
bool makeFolderScript(const kvCommandLine& cmd, std::vector<kvPhoto> photos, const std::string& folder,
                      std::string* text, std::string* error, double* showSeconds = nullptr);

// `korvell --new SCRIPT [names]`: 0 when written; 1 when it exists (and
// no --force), cannot be written or no pictures are found, nothing
// written then; 2 for names that do not go together.
int runNew(const kvCommandLine& cmd);

} // namespace Korvell
