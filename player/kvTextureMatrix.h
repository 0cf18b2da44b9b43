// The texture matrix of a slide for pan and zoom, and the one place the
// player sets GL state itself (the GL texture matrix). Tests swap the
// loader for a recorder so the player runs without a context.
#pragma once

namespace Korvell {

// M = scale(1/z, 1/z, 1) x translate(offset) x translate(p * move), column-major;
// without zoom (z == 0 switch) the scale is left out.
void computeTextureMatrix(bool zoomOn, float z, float offsetX, float offsetY, float moveX,
                          float moveY, float out[16]);

typedef void (*TextureMatrixLoader)(const float* matrix); // nullptr means identity
void loadTextureMatrix(const float* matrix);
void setTextureMatrixLoader(TextureMatrixLoader loader); // nullptr restores the GL one

} // namespace Korvell
