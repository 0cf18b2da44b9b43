// Defaults shared by every renderer.
#include "render/kvRenderer.h"

#include "image/kvTexture.h"

namespace Korvell {

kvRenderer::kvRenderer()
    : clearColor(0.0f, 0.0f, 0.0f), viewWidth(1.0f), viewHeight(1.0f), boundTexture(0)
{
}

kvRenderer::~kvRenderer() {}

bool kvRenderer::textureSize(kvTextureIndex index, int* width, int* height, float* u, float* v) const
{
    const kvTexture* t = textures.get(index);
    if (!t || t->getBufferWidth() <= 0 || t->getBufferHeight() <= 0) return false;
    *width = t->getWidth();
    *height = t->getHeight();
    *u = static_cast<float>(t->getWidth()) / static_cast<float>(t->getBufferWidth());
    *v = static_cast<float>(t->getHeight()) / static_cast<float>(t->getBufferHeight());
    return true;
}

bool kvRenderer::textureOpaque(kvTextureIndex index) const
{
    const kvTexture* t = textures.get(index);
    return t && t->isOpaque();
}

bool kvRenderer::textureFocus(kvTextureIndex index, kvRegion* region) const
{
    const kvTexture* t = textures.get(index);
    if (!t || t->getFocus().empty()) return false;
    *region = t->getFocus();
    return true;
}

kvClipIndex kvRenderer::openClip(const kvClipRequest& request, std::string* reason)
{
    (void)request;
    if (reason) *reason = "clips are not shown here";
    return kvClipIndex();
}

kvTextureIndex kvRenderer::clipFrame(kvClipIndex clip, double seconds, kvTextureIndex* blurred)
{
    (void)clip;
    (void)seconds;
    if (blurred) *blurred = kvTextureIndex();
    return kvTextureIndex();
}

void kvRenderer::prepareClip(kvClipIndex clip, double seconds)
{
    (void)clip;
    (void)seconds;
}

void kvRenderer::closeClip(kvClipIndex clip) { (void)clip; }

bool kvRenderer::clipProblem(kvClipIndex clip, std::string* reason) const
{
    (void)clip;
    (void)reason;
    return false;
}

} // namespace Korvell
