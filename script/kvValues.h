// How every element handler reads values out of a tag: numbers as C's atof
// in the C locale narrowed to float, the one integer as atoi, flags true
// only for exactly "yes", grouped values applied only when all are there.
// The user's locale never changes how "1.5" reads.
#pragma once

#include <string>

#include "math/vector2.h"
#include "math/vector3.h"

namespace Korvell {

class kvTag;

// The decimal number at the text's start as atof reads it (0 when there
// is none), and how many characters it took.
double parseDecimal(const std::string& text, size_t* used);
float parseFloat(const std::string& text);
int parseInt(const std::string& text);
// A slide's time: as parseFloat, but a negative one or one beyond any
// float (inf, nan, 1e999) is 0, so that every show moves on and ends.
float parseTime(const std::string& text);

// The attribute as a number, or the fallback when it is absent.
float readFloat(const kvTag* tag, const char* name, float fallback);
int readInt(const kvTag* tag, const char* name, int fallback);
float readTime(const kvTag* tag, const char* name, float fallback);
// True only when the attribute is present and exactly "yes".
bool readFlag(const kvTag* tag, const char* name);
// Both (or all three) attributes, or false with the output untouched.
bool readPair(const kvTag* tag, const char* a, const char* b, vector2& out);
bool readTriple(const kvTag* tag, const char* a, const char* b, const char* c, vector3& out);
// The element's text compared exactly with a keyword.
bool textIs(const kvTag* tag, const char* keyword);

} // namespace Korvell
