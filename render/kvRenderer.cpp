// Defaults shared by every renderer.
#include "render/kvRenderer.h"

namespace Korvell {

kvRenderer::kvRenderer()
    : clearColor(0.0f, 0.0f, 0.0f), viewWidth(1.0f), viewHeight(1.0f), boundTexture(0)
{
}

kvRenderer::~kvRenderer() {}

} // namespace Korvell
