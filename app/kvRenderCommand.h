// `korvell --render FILE [...] [SCRIPT]`: the show rendered to a video file.
// Exit codes: 0 when the file is written, 1 when it cannot be (nothing is
// left behind), 130 or 143 after Ctrl+C or kill.
#pragma once

#include <string>

#include "app/kvCommandLine.h"

namespace Korvell {

int runRender(const kvCommandLine& cmd, const std::string& script);

} // namespace Korvell
