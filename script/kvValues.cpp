// Value rules shared by the element handlers.
#include "script/kvValues.h"

#include <cfloat>
#include <charconv>
#include <cstdint>
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
    // Most values are short decimals ("3", "0.25"): with at most 15
    // digits and no exponent, the digits as a whole number divided by a
    // power of ten are two exact doubles and one rounding, strtod's value.
    static const double kTens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (digits <= 15) {
        size_t k = begin;
        const bool negative = text[k] == '-';
        if (text[k] == '+' || text[k] == '-') ++k;
        uint64_t whole = 0;
        int decimals = -1;
        for (; k < i; ++k) {
            if (text[k] == '.') {
                decimals = 0;
                continue;
            }
            if (text[k] < '0' || text[k] > '9') break; // an exponent
            whole = whole * 10 + static_cast<uint64_t>(text[k] - '0');
            if (decimals >= 0) ++decimals;
        }
        if (k == i) {
            const double v = static_cast<double>(whole) / kTens[decimals > 0 ? decimals : 0];
            return negative ? -v : v;
        }
    }
    // The same correctly rounded value as strtod, without its locale
    // machinery; out of range (1e999, 1e-999) as strtod answers.
    const char* first = text.data() + begin + (text[begin] == '+' ? 1 : 0);
    double v = 0.0;
    const std::from_chars_result r = std::from_chars(first, text.data() + i, v);
    if (r.ec == std::errc() && r.ptr == text.data() + i) return v;
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
