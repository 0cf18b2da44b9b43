// The frame loop of the show and of the credits: one window event, the
// title with the clock, a cleared frame set up in view units, the scene,
// the swap; until the quit message. A scene that is over (drawScene gives
// false) posts the quit message itself.
#pragma once

#include <functional>

namespace Korvell {

class kvRenderer;

void runFrameLoop(kvRenderer& renderer, const std::function<bool()>& drawScene);

} // namespace Korvell
