// Value rules shared by the element handlers.
#include "script/kvValues.h"

#include <cfloat>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <locale.h>


namespace Korvell {

namespace {
locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}
} // namespace

double parseDecimal(const std::string& text, size_t* used)
{
    // What atof reads: blanks, a sign, digits with at most one point, an
    // exponent only when digits follow it. Never hexadecimal, inf or nan.
    auto digit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    const size_t begin = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (digit(i)) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (digit(i)) ++i, ++digits;
    }
    if (digits == 0) {
        if (used) *used = 0;
        return 0.0;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (digit(e)) {
            while (digit(e)) ++e;
            i = e;
        }
    }
    if (used) *used = i;
    return strtod_l(text.substr(begin, i - begin).c_str(), nullptr, cLocale());
}

float parseFloat(const std::string& text)
{
    const double v = parseDecimal(text, nullptr);
    // Narrowing a double beyond float's range is undefined; hold it at
    // the largest float instead.
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(v);
}

float parseTime(const std::string& text)
{
    const double v = parseDecimal(text, nullptr);
    return v >= 0.0 && v <= FLT_MAX ? static_cast<float>(v) : 0.0f;
}

int parseInt(const std::string& text)
{
    long v = strtol_l(text.c_str(), nullptr, 10, cLocale());
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

} // namespace Korvell
