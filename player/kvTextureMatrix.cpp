// Texture matrix arithmetic.
#include "player/kvTextureMatrix.h"

namespace Korvell {

void computeTextureMatrix(bool zoomOn, float z, float offsetX, float offsetY, float moveX,
                          float moveY, float out[16])
{
    float s = zoomOn ? 1.0f / z : 1.0f;
    for (int i = 0; i < 16; ++i) out[i] = 0.0f;
    out[0] = s;
    out[5] = s;
    out[10] = 1.0f;
    out[15] = 1.0f;
    // Translations after the scale are scaled by it.
    out[12] = s * (offsetX + moveX);
    out[13] = s * (offsetY + moveY);
}

} // namespace Korvell
