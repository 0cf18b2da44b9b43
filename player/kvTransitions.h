// The transitions a slide can enter by, one row each: the script's
// keyword, the code the player keeps, the two opacities of a frame inside
// the window, and how the checker names it. The player and the checker
// read this table; adding a transition is a row and its function.
#pragma once

#include <vector>

namespace Korvell {

struct kvTransition {
    int code;            // TRANSITION_NONE, TRANSITION_FADE, ...
    const char* keyword; // in the script
    // The opacities of the entering (current) and the leaving (previous)
    // slide c seconds into a window of T (0 <= c < T).
    void (*opacities)(float c, float T, float& current, float& previous);
    // How the checker names it ("the fade") when its window outlasts its
    // slide; null when that is worth no word (a cut).
    const char* name;
};

const std::vector<kvTransition>& transitions();
// The row of a code; the cut's for any code without one.
const kvTransition& transitionFor(int code);

} // namespace Korvell
