// How a script's values read: numbers as C's atof in the C locale narrowed
// to float, the one integer as atoi, a slide's time never negative. The
// user's locale never changes how "1.5" reads. (Flags, groups and keywords
// are read through the schema, kvSchema.)
#pragma once

#include <string>

namespace Korvell {

// The decimal number at the text's start as atof reads it (0 when there
// is none), and how many characters it took.
double parseDecimal(const std::string& text, size_t* used);
float parseFloat(const std::string& text);
int parseInt(const std::string& text);
// A slide's time: as parseFloat, but a negative one or one beyond any
// float (inf, nan, 1e999) is 0, so that every show moves on and ends.
float parseTime(const std::string& text);

} // namespace Korvell
