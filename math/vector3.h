// An r, g, b colour (or any three floats).
#pragma once

namespace Korvell {

class vector3 {
public:
    float x;
    float y;
    float z;

    vector3() : x(0.0f), y(0.0f), z(0.0f) {}
    vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

} // namespace Korvell
