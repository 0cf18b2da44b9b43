// One slide: its picture (or none), the clock time at which it ends, how it
// enters, how its picture pans and zooms, and its subtitle lines.
#pragma once

#include <string>
#include <vector>

#include "image/kvClipDecoder.h"
#include "image/kvTextureContainer.h"
#include "math/vector2.h"
#include "player/kvFit.h"

namespace Korvell {

// What makes a slide a clip's: the part of the clip it plays, in the
// clip's seconds, and its sound's level and the music's under it.
struct kvClipPart {
    bool isClip = false;
    double trimStart = 0.0;
    double trimEnd = -1.0; // -1: to the clip's end
    double length = 0.0;   // the trimmed length, as read from the clip (0: unknown)
    bool sound = false;    // the clip has an audio stream
    float volume = 1.0f;
    float duck = 0.3f;
    // The clip time at `seconds` into the slide: from the trimmed start,
    // held at the trimmed end.
    double clipTime(double seconds) const
    {
        const double t = trimStart + (seconds > 0.0 ? seconds : 0.0);
        const double end = trimEnd >= 0.0 ? trimEnd : (length > 0.0 ? trimStart + length : -1.0);
        return end >= 0.0 && t > end ? end : t;
    }
};

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
    // How the picture fills the image area (kvFit; FIT_DEFAULT: the show's),
    // its blurred copy for a "blur" fit, and where and with what matrices
    // it was last placed (a leaving slide keeps them).
    int fit = -1;
    // What the crop and the zoom keep in frame (kvFocus; FOCUS_DEFAULT: the
    // show's), and the region a FOCUS_REGION names.
    kvFocus focus;
    // A focus found after the slide began showing (the worker was busy)
    // is eased in from the centred window over kFocusEase seconds, from the
    // progress it came at; drawnWithoutFocus says the slide showed before it.
    bool drawnWithoutFocus = false;
    float focusCameAt = -1.0f;
    kvTextureIndex blurTexture;
    vector2 placedA, placedB;
    bool fitted = false; // placed by a fit other than stretch
    float blurMatrix[16];
    // A clip's slide: its part of the clip, and the clip while it is open.
    kvClipPart clipPart;
    kvClipIndex clip;

    // Zoom is off when its factor is 0. At progress p through the slide
    // (0 to 1 as it plays, -1 to 0 after a back step to it) the zoom is
    // startZoom + (zoom - 1) p.
    bool zoomOn() const { return zoom != 0.0f; }
    float zoomAt(float p) const { return startZoom + (zoom - 1.0f) * p; }
    // The texture matrix of pan and zoom at progress p.
    void computeMatrix(float p);
};

} // namespace Korvell
