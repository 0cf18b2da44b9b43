// How a picture fills the image area: stretched over it (whatever its
// shape), contained in it (whole, centred, bars of the background beside
// it), covering it (cropped equally on both sides of its longer side), or
// contained over a blurred, darkened copy of itself that covers the area.
// Shapes are measured in screen pixels, so a script composes alike in any
// window. In the fitted modes a slide's pan and zoom move a window over the
// picture: zoomed about its centre (never below the fitted picture),
// shifted by x picture widths and y picture heights, and held inside the
// picture (no black). With a focus (faces, or a region given), the window
// is centred on it instead, shifted from there, kept around it wherever
// the window is large enough to hold it, and never zoomed smaller than it.
#pragma once

#include "math/kvRegion.h"

namespace Korvell {

enum kvFitMode { FIT_DEFAULT = -1, FIT_STRETCH = 0, FIT_CONTAIN = 1, FIT_COVER = 2, FIT_BLUR = 3 };

// What a slide keeps in frame: nothing (centred, as always), what was
// found in the picture, or a region named by hand.
enum kvFocusMode { FOCUS_DEFAULT = -1, FOCUS_NONE = 0, FOCUS_AUTO = 1, FOCUS_REGION = 2 };
struct kvFocus {
    int mode = FOCUS_DEFAULT;
    kvRegion region; // FOCUS_REGION's
};

// Fractions, x and y: of the image area for `area`, of the picture (as
// seen) for `window`.
struct kvFitGeometry {
    float areaX0, areaY0, areaX1, areaY1; // the sharp picture's rectangle
    float windowX0, windowY0, windowX1, windowY1; // the part of the picture it shows
    bool held = false; // the pan or zoom was held at the picture's edge
    bool focusInside = true; // the focus lies wholly in the window
};

// The geometry of a fitted mode (not stretch) for an image area and a
// picture of the given pixel sizes, at a zoom and a shift.
kvFitGeometry fitGeometry(kvFitMode mode, float areaWidth, float areaHeight, float pictureWidth,
                          float pictureHeight, float zoom, float shiftX, float shiftY,
                          const kvRegion& focus = kvRegion());

} // namespace Korvell
