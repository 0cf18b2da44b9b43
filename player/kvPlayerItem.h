// One slide: its picture (or none), the clock time at which it ends, how it
// enters, how its picture pans and zooms, and its subtitle lines.
#pragma once

#include <string>
#include <vector>

#include "image/kvTextureContainer.h"
#include "math/vector2.h"

namespace Korvell {

enum {
    TRANSITION_KEEP = 0,
    TRANSITION_NONE = 1,
    TRANSITION_FADE = 2,
    TRANSITION_CROSSFADE = 3
};

enum {
    EFFECT_NONE = 0,
    EFFECT_TYPEWRITER = 2
};

class kvPlayerItem {
public:
    kvPlayerItem(float endTime, const std::string& fileName, kvTextureIndex texture, int transitionType,
                 float transitionTime);

    std::vector<std::string> lines;
    float endTime;
    float duration;
    std::string fileName;
    kvTextureIndex texture;
    int transitionType;
    float transitionTime;
    vector2 move;
    float zoom;
    vector2 offset;
    float startZoom;
    float textureMatrix[16];
};

} // namespace Korvell
