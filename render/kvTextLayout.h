// Line breaking over a shaped line's clusters: pure arithmetic, shared by
// the GL renderer and the tests' recording renderer, and fuzzed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Korvell {

// One user-perceived character of a line, in logical order: where it
// starts, how far it advances (font units, the em square 1.0), whether a
// line may break before it, and whether it is a space.
struct kvCluster {
    size_t byte = 0;
    float advance = 0.0f;
    bool breakBefore = false;
    bool space = false;
};

// The byte where the second line begins when the line does not fit in
// viewWidth - margin at the given scale; 0 when it fits. The break falls
// at the last break opportunity before the first cluster that overflows
// (after it, when that cluster is a space), else on that cluster itself;
// when that is the first cluster, the next overflowing one decides.
int findClusterBreak(const std::vector<kvCluster>& clusters, float scale, float margin, float viewWidth);

// The clusters of a line whose every cluster advances the same (what the
// tests' renderer draws), with the line's own break opportunities.
std::vector<kvCluster> evenClusters(const std::string& text, float advance);

} // namespace Korvell
