// The element handlers, one per top-level element name of the script.
#pragma once

#include <string>

#include "script/kvScriptContext.h"

namespace Korvell {

class kvTag;

void handleViewport(kvScriptContext& context, kvTag* tag);
void handleImageArea(kvScriptContext& context, kvTag* tag);
void handleImage(kvScriptContext& context, kvTag* tag);
void handleGlobal(kvScriptContext& context, kvTag* tag);
void handleSubtitles(kvScriptContext& context, kvTag* tag);
void handleMusic(kvScriptContext& context, kvTag* tag);
void handleDataFile(kvScriptContext& context, kvTag* tag);

// Polish letters of UTF-8 text to single Windows-1250 bytes, the code page
// the outline fonts draw; every other byte passes unchanged.
std::string utf8ToCp1250(const std::string& text);
// Unicode of a Windows-1250 byte (0 for the few unassigned codes), and a
// Windows-1250 text back in UTF-8 (subtitle files want it).
unsigned cp1250ToUnicode(unsigned char code);
std::string cp1250ToUtf8(const std::string& text);

} // namespace Korvell
