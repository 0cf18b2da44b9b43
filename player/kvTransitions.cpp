// The transition table.
#include "player/kvTransitions.h"

#include "player/kvPlayerItem.h"

namespace Korvell {

namespace {

void cut(float, float, float& current, float& previous)
{
    previous = 0.0f;
    current = 1.0f;
}

// Out through the background in the first half, in during the second.
void fade(float c, float T, float& current, float& previous)
{
    const float h = 0.5f * T;
    if (c < h) {
        current = 0.0f;
        previous = 1.0f - c / h;
    } else {
        previous = 0.0f;
        current = (c - h) / h;
    }
}

// The leaving picture fades out over the entering one, whole beneath it.
void crossfade(float c, float T, float& current, float& previous)
{
    current = 1.0f;
    previous = 1.0f - c / T;
}

} // namespace

const std::vector<kvTransition>& transitions()
{
    static const std::vector<kvTransition> rows = {
        {TRANSITION_NONE, "none", cut, nullptr},
        {TRANSITION_FADE, "fade", fade, "the fade"},
        {TRANSITION_CROSSFADE, "crossfade", crossfade, "the crossfade"},
    };
    return rows;
}

const kvTransition& transitionFor(int code)
{
    for (const kvTransition& t : transitions())
        if (t.code == code) return t;
    return transitions().front();
}

} // namespace Korvell
