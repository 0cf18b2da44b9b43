// Names that come from a script or an archive, made safe to print: in
// double quotes, with control characters, invalid UTF-8 and the
// characters that reorder or hide text escaped, so a name can neither
// forge a line of a log nor send a terminal an escape sequence.
#pragma once

#include <string>

namespace Korvell {

// "name" with \n, \t, \r, \xNN (a control byte or one not in UTF-8) and
// \u{NNNN} (C1 controls, bidirectional controls, line separators).
std::string quoted(const std::string& text);

} // namespace Korvell
