// Line breaking.
#include "render/kvTextLayout.h"

#include "text/kvText.h"

namespace Korvell {

int findClusterBreak(const std::vector<kvCluster>& clusters, float scale, float margin, float viewWidth)
{
    float width = 0.0f;
    size_t last = 0;
    bool ink = false; // a break after nothing but spaces would leave an empty row
    for (size_t i = 0; i < clusters.size(); ++i) {
        const kvCluster& c = clusters[i];
        if (i > 0 && c.breakBefore && ink) last = c.byte;
        ink = ink || !c.space;
        width += c.advance;
        if (!(width * scale > viewWidth - margin)) continue;
        // An overflowing space stays on the first line.
        if (c.space && i > 0 && i + 1 < clusters.size() && clusters[i + 1].breakBefore)
            return static_cast<int>(clusters[i + 1].byte);
        if (last != 0) return static_cast<int>(last);
        // The first cluster alone overflowing does not break: the next one
        // that overflows (or a later opportunity) decides.
        if (c.byte != 0) return static_cast<int>(c.byte);
    }
    return 0;
}

std::vector<kvCluster> evenClusters(const std::string& text, float advance)
{
    std::vector<kvCluster> out;
    const std::vector<bool> can = breakOpportunities(text);
    for (size_t start : clusterStarts(text)) {
        kvCluster c;
        c.byte = start;
        c.advance = advance;
        c.breakBefore = start < can.size() && can[start];
        c.space = text[start] == ' ';
        out.push_back(c);
    }
    return out;
}

} // namespace Korvell
