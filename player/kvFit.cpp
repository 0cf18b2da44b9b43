// Fit geometry: plain arithmetic on sizes and fractions.
#include "player/kvFit.h"

#include <algorithm>
#include <cmath>

namespace Korvell {

namespace {

// Where a window of `size` starts on one axis: about the focus's centre,
// moved by `shift`, then kept around the focus when it fits.
float around(float from, float extent, float shift, float size)
{
    const float start = from + 0.5f * extent + shift - 0.5f * size;
    if (extent > size) return from + 0.5f * extent - 0.5f * size; // too large: centred on it
    return std::min(std::max(start, from + extent - size), from);
}

} // namespace

kvFitGeometry fitGeometry(kvFitMode mode, float areaWidth, float areaHeight, float pictureWidth,
                          float pictureHeight, float zoom, float shiftX, float shiftY, const kvRegion& focusGiven)
{
    kvFitGeometry g = {0, 0, 1, 1, 0, 0, 1, 1, false, true};
    if (!(areaWidth > 0 && areaHeight > 0 && pictureWidth > 0 && pictureHeight > 0)) return g;
    const float area = areaWidth / areaHeight, picture = pictureWidth / pictureHeight;
    float w = 1.0f, h = 1.0f; // the fitted window's size, of the picture
    if (mode == FIT_COVER) {
        if (picture > area)
            w = area / picture;
        else
            h = picture / area;
    } else if (picture > area) {
        const float rows = area / picture; // the rectangle's height, of the area's
        g.areaY0 = 0.5f - 0.5f * rows;
        g.areaY1 = 0.5f + 0.5f * rows;
    } else {
        const float columns = picture / area;
        g.areaX0 = 0.5f - 0.5f * columns;
        g.areaX1 = 0.5f + 0.5f * columns;
    }
    // Zoomed about the centre, never out past the fitted picture; with a
    // focus, never in past it (a face no larger than the area, a group
    // whole).
    float z = zoom >= 1.0f ? zoom : 1.0f;
    if (zoom < 1.0f - 1e-3f) g.held = true; // not for a script's rounding of 1
    const kvRegion focus = focusGiven.clipped();
    if (!focus.empty()) z = std::max(1.0f, std::min(z, std::min(w / focus.width, h / focus.height)));
    w /= z;
    h /= z;
    float x0 = 0.5f + shiftX - 0.5f * w, y0 = 0.5f + shiftY - 0.5f * h;
    if (!focus.empty()) {
        x0 = around(focus.x, focus.width, shiftX, w);
        y0 = around(focus.y, focus.height, shiftY, h);
    }
    const float hx = std::min(std::max(x0, 0.0f), 1.0f - w), hy = std::min(std::max(y0, 0.0f), 1.0f - h);
    const float eps = 1e-5f;
    if (std::abs(hx - x0) > eps || std::abs(hy - y0) > eps) g.held = true;
    g.windowX0 = hx;
    g.windowY0 = hy;
    g.windowX1 = hx + w;
    g.windowY1 = hy + h;
    if (!focus.empty())
        g.focusInside = focus.x >= hx - eps && focus.right() <= hx + w + eps && focus.y >= hy - eps
                        && focus.bottom() <= hy + h + eps;
    return g;
}

} // namespace Korvell
