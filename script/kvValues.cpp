// Value rules shared by the element handlers.
#include "script/kvValues.h"

#include <cfloat>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <locale.h>

#include "script/kvTag.h"

namespace Korvell {

namespace {
locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}
} // namespace

float parseFloat(const std::string& text)
{
    double v = strtod_l(text.c_str(), nullptr, cLocale());
    // Narrowing a double beyond float's range is undefined; hold it at
    // the largest float instead.
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    if (v != v) return 0.0f;
    return static_cast<float>(v);
}

float parseTime(const std::string& text)
{
    const double v = strtod_l(text.c_str(), nullptr, cLocale());
    return v >= 0.0 && v <= FLT_MAX ? static_cast<float>(v) : 0.0f;
}

int parseInt(const std::string& text)
{
    long v = strtol_l(text.c_str(), nullptr, 10, cLocale());
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

float readFloat(const kvTag* tag, const char* name, float fallback)
{
    std::string v;
    return tag && tag->getAttribute(name, v) ? parseFloat(v) : fallback;
}

float readTime(const kvTag* tag, const char* name, float fallback)
{
    std::string v;
    return tag && tag->getAttribute(name, v) ? parseTime(v) : fallback;
}

int readInt(const kvTag* tag, const char* name, int fallback)
{
    std::string v;
    return tag && tag->getAttribute(name, v) ? parseInt(v) : fallback;
}

bool readFlag(const kvTag* tag, const char* name)
{
    std::string v;
    return tag && tag->getAttribute(name, v) && v == "yes";
}

bool readPair(const kvTag* tag, const char* a, const char* b, vector2& out)
{
    std::string va, vb;
    if (!tag || !tag->getAttribute(a, va) || !tag->getAttribute(b, vb)) return false;
    out = vector2(parseFloat(va), parseFloat(vb));
    return true;
}

bool readTriple(const kvTag* tag, const char* a, const char* b, const char* c, vector3& out)
{
    std::string va, vb, vc;
    if (!tag || !tag->getAttribute(a, va) || !tag->getAttribute(b, vb) || !tag->getAttribute(c, vc))
        return false;
    out = vector3(parseFloat(va), parseFloat(vb), parseFloat(vc));
    return true;
}

bool textIs(const kvTag* tag, const char* keyword) { return tag && tag->getText() == keyword; }

} // namespace Korvell
