// The element handlers, one per top-level element name of the script.
#pragma once

#include <string>

namespace Korvell {

class kvPlayer;
class kvTag;

void handleViewport(kvPlayer* player, kvTag* tag);
void handleImageArea(kvPlayer* player, kvTag* tag);
void handleImage(kvPlayer* player, kvTag* tag);
void handleGlobal(kvPlayer* player, kvTag* tag);
void handleSubtitles(kvPlayer* player, kvTag* tag);
void handleMusic(kvPlayer* player, kvTag* tag);
void handleDataFile(kvPlayer* player, kvTag* tag);

// Polish letters of UTF-8 text to single Windows-1250 bytes, the code page
// the outline fonts draw; every other byte passes unchanged.
std::string utf8ToCp1250(const std::string& text);

} // namespace Korvell
