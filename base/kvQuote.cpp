// Escaping byte by byte, UTF-8 decoded to tell the characters apart.
#include "base/kvQuote.h"

#include <cstdio>

namespace Korvell {

namespace {

// The length of a well-formed UTF-8 sequence at s[i] and its code point,
// or 0 when it is not one.
size_t decode(const std::string& s, size_t i, unsigned* cp)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    unsigned v = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d >> 6) != 2) return 0;
        v = (v << 6) | (d & 0x3F);
    }
    static const unsigned smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < smallest[n] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    *cp = v;
    return n;
}

bool hidden(unsigned cp)
{
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F
           || (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

} // namespace

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    char buf[16];
    for (size_t i = 0; i < text.size();) {
        unsigned cp = 0;
        const size_t n = decode(text, i, &cp);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (n == 0) {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
            ++i;
            continue;
        }
        if (cp == '\n') out += "\\n";
        else if (cp == '\t') out += "\\t";
        else if (cp == '\r') out += "\\r";
        else if (cp == '"') out += "\\\"";
        else if (cp < 0x20 || cp == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02X", cp);
            out += buf;
        } else if (hidden(cp)) {
            std::snprintf(buf, sizeof buf, "\\u{%04X}", cp);
            out += buf;
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out + "\"";
}

} // namespace Korvell
