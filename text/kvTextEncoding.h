// Text encodings of subtitle lines: UTF-8 as scripts hold them, and
// Windows-1250, the code page the outline fonts draw.
#pragma once

#include <string>

namespace Korvell {

// Polish letters of UTF-8 text to single Windows-1250 bytes; every other
// byte passes unchanged.
std::string utf8ToCp1250(const std::string& text);
// Unicode of a Windows-1250 byte (0 for the few unassigned codes), and a
// Windows-1250 text back in UTF-8 (subtitle files want it).
unsigned cp1250ToUnicode(unsigned char code);
std::string cp1250ToUtf8(const std::string& text);

} // namespace Korvell
