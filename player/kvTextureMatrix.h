// The texture matrix of a slide for pan and zoom: plain arithmetic, handed
// to the renderer's setTextureMatrix.
#pragma once

namespace Korvell {

// M = scale(1/z, 1/z, 1) x translate(offset) x translate(p * move), column-major;
// without zoom (z == 0 switch) the scale is left out.
void computeTextureMatrix(bool zoomOn, float z, float offsetX, float offsetY, float moveX,
                          float moveY, float out[16]);

} // namespace Korvell
