// The null renderer's one operation with an effect: it owns the modifier
// handed to it, as a real texture would.
#include "render/kvNullRenderer.h"

#include "image/kvTextureModifier.h"

namespace Korvell {

bool kvNullRenderer::setTextureModifier(kvTextureIndex, kvTextureModifier* modifier)
{
    delete modifier;
    return true;
}

} // namespace Korvell
