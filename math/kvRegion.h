// A region of a picture in fractions of its width and height (x, y its
// top left), as a slide's focus is given and found. Passed by value.
#pragma once

#include <algorithm>

namespace Korvell {

struct kvRegion {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;

    bool empty() const { return !(width > 0.0f && height > 0.0f); }
    float right() const { return x + width; }
    float bottom() const { return y + height; }
    // The smallest region holding both (an empty one adds nothing).
    kvRegion unite(const kvRegion& o) const
    {
        if (o.empty()) return *this;
        if (empty()) return o;
        kvRegion r;
        r.x = std::min(x, o.x);
        r.y = std::min(y, o.y);
        r.width = std::max(right(), o.right()) - r.x;
        r.height = std::max(bottom(), o.bottom()) - r.y;
        return r;
    }
    // Held within the picture, [0, 1] each way.
    kvRegion clipped() const
    {
        kvRegion r;
        r.x = std::min(std::max(x, 0.0f), 1.0f);
        r.y = std::min(std::max(y, 0.0f), 1.0f);
        r.width = std::min(std::max(right(), 0.0f), 1.0f) - r.x;
        r.height = std::min(std::max(bottom(), 0.0f), 1.0f) - r.y;
        return r;
    }
};

} // namespace Korvell
