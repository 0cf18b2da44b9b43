// The element handlers, one per top-level element name of the script.
#pragma once

#include <string>

#include "script/kvScriptContext.h"

namespace Korvell {

class kvTag;

void handleViewport(kvScriptContext& context, kvTag* tag);
void handleImageArea(kvScriptContext& context, kvTag* tag);
void handleImage(kvScriptContext& context, kvTag* tag);
void handleVideo(kvScriptContext& context, kvTag* tag);
void handleGlobal(kvScriptContext& context, kvTag* tag);
void handleSubtitles(kvScriptContext& context, kvTag* tag);
void handleMusic(kvScriptContext& context, kvTag* tag);
void handlePlaylist(kvScriptContext& context, kvTag* tag);
void handleDataFile(kvScriptContext& context, kvTag* tag);

} // namespace Korvell
