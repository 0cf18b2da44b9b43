// A position or a size in view units. Passed by value everywhere.
#pragma once

namespace Korvell {

class vector2 {
public:
    float x;
    float y;

    vector2() : x(0.0f), y(0.0f) {}
    vector2(float x_, float y_) : x(x_), y(y_) {}

    // A position plus a size gives the far corner.
    vector2 operator+(const vector2& o) const { return vector2(x + o.x, y + o.y); }
};

} // namespace Korvell
