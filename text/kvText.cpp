// UTF-8, grapheme clusters and line breaks through libunistring.
#include "text/kvText.h"

#include <unigbrk.h>
#include <unilbrk.h>
#include <unistr.h>

namespace Korvell {

namespace {
const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }
} // namespace

std::string validUtf8(const std::string& text)
{
    if (!u8_check(bytesOf(text), text.size())) return text;
    std::string out;
    out.reserve(text.size() + 8);
    const uint8_t* s = bytesOf(text);
    size_t i = 0;
    while (i < text.size()) {
        ucs4_t c;
        const int n = u8_mbtouc(&c, s + i, text.size() - i);
        // u8_mbtouc gives U+FFFD (and a length of 1 or more) for a bad
        // sequence; a valid U+FFFD is three bytes long.
        if (c == 0xFFFD && !(n == 3 && s[i] == 0xEF && s[i + 1] == 0xBF && s[i + 2] == 0xBD)) {
            out += "\xEF\xBF\xBD";
        } else {
            out.append(text, i, static_cast<size_t>(n));
        }
        i += static_cast<size_t>(n > 0 ? n : 1);
    }
    return out;
}

namespace {

bool regionalIndicator(ucs4_t c) { return c >= 0x1F1E6 && c <= 0x1F1FF; }

// Emoji that a zero-width joiner binds into one sequence (the ranges of
// Extended_Pictographic).
bool pictographic(ucs4_t c)
{
    return (c >= 0x1F000 && c <= 0x1FAFF) || (c >= 0x2600 && c <= 0x27BF) || (c >= 0x2B00 && c <= 0x2BFF)
           || (c >= 0x2190 && c <= 0x21FF) || (c >= 0x2300 && c <= 0x23FF) || c == 0x00A9 || c == 0x00AE
           || c == 0x203C || c == 0x2049 || c == 0x2122 || c == 0x2139 || (c >= 0x3030 && c <= 0x303D)
           || c == 0x3297 || c == 0x3299;
}

} // namespace

std::vector<size_t> clusterStarts(const std::string& text)
{
    std::vector<size_t> starts;
    const uint8_t* begin = bytesOf(text);
    const uint8_t* end = begin + text.size();
    // libunistring's clusters, then the two rules of today's Unicode it
    // predates: an emoji joined by a zero-width joiner stays with the one
    // before it, and regional indicators pair into flags.
    ucs4_t last = 0;
    int indicators = 0; // in the run the last cluster ends
    for (const uint8_t* p = begin; p && p < end; p = u8_grapheme_next(p, end)) {
        ucs4_t first = 0;
        u8_mbtouc(&first, p, static_cast<size_t>(end - p));
        const bool joined = !starts.empty() && ((last == 0x200D && pictographic(first))
                                                || (regionalIndicator(last) && regionalIndicator(first) && indicators % 2 == 1));
        if (!joined) starts.push_back(static_cast<size_t>(p - begin));
        // The cluster's last code point, and the run of indicators it ends.
        const uint8_t* next = u8_grapheme_next(p, end);
        const uint8_t* q = p;
        for (const uint8_t* r = p; r < (next ? next : end);) {
            q = r;
            ucs4_t c;
            const int n = u8_mbtouc(&c, r, static_cast<size_t>(end - r));
            r += n > 0 ? n : 1;
        }
        u8_mbtouc(&last, q, static_cast<size_t>(end - q));
        indicators = regionalIndicator(last) ? indicators + 1 : 0;
    }
    return starts;
}

size_t clusterCount(const std::string& text) { return clusterStarts(text).size(); }

std::string firstClusters(const std::string& text, size_t n)
{
    const std::vector<size_t> starts = clusterStarts(text);
    return n >= starts.size() ? text : text.substr(0, starts[n]);
}

std::vector<bool> breakOpportunities(const std::string& text)
{
    std::vector<bool> can(text.size(), false);
    if (text.empty()) return can;
    std::vector<char> p(text.size());
    u8_possible_linebreaks(bytesOf(text), text.size(), "UTF-8", p.data());
    for (size_t i = 1; i < text.size(); ++i) can[i] = p[i] == UC_BREAK_POSSIBLE;
    // Never inside a cluster (an emoji sequence, a letter and its marks).
    std::vector<bool> start(text.size() + 1, false);
    for (size_t s : clusterStarts(text)) start[s] = true;
    for (size_t i = 1; i < text.size(); ++i) can[i] = can[i] && start[i];
    return can;
}

void decodeUtf8(const std::string& text, std::vector<uint32_t>& codePoints, std::vector<size_t>& offsets)
{
    codePoints.clear();
    offsets.clear();
    const uint8_t* s = bytesOf(text);
    size_t i = 0;
    while (i < text.size()) {
        ucs4_t c;
        const int n = u8_mbtouc(&c, s + i, text.size() - i);
        codePoints.push_back(c);
        offsets.push_back(i);
        i += static_cast<size_t>(n > 0 ? n : 1);
    }
}

} // namespace Korvell
