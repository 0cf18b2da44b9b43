// Any bytes as a subtitle line: made valid UTF-8 (again valid, and the same
// when it was), cut in clusters that start where characters start and
// join back into it, break opportunities only at cluster starts.
#include <cstdint>
#include <string>

#include "text/kvText.h"

using namespace Korvell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string in(reinterpret_cast<const char*>(data), size);
    const std::string text = validUtf8(in);
    if (validUtf8(text) != text) __builtin_trap();
    const std::vector<size_t> starts = clusterStarts(text);
    if (!text.empty() && (starts.empty() || starts[0] != 0)) __builtin_trap();
    for (size_t i = 1; i < starts.size(); ++i)
        if (starts[i] <= starts[i - 1] || starts[i] >= text.size() || (text[starts[i]] & 0xC0) == 0x80)
            __builtin_trap();
    for (size_t k = 0; k <= starts.size(); ++k)
        if (firstClusters(text, k).size() != (k < starts.size() ? starts[k] : text.size())) __builtin_trap();
    const std::vector<bool> can = breakOpportunities(text);
    size_t next = 0;
    for (size_t b = 0; b < can.size(); ++b) {
        while (next < starts.size() && starts[next] < b) ++next;
        if (can[b] && (next >= starts.size() || starts[next] != b)) __builtin_trap();
    }
    return 0;
}
