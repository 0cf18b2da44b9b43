// An r, g, b, a colour; usually a vector3 colour plus an alpha.
#pragma once

#include "math/vector3.h"

namespace Korvell {

class vector4 {
public:
    float x;
    float y;
    float z;
    float w;

    vector4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    vector4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    vector4(const vector3& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}
};

} // namespace Korvell
