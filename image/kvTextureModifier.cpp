// Texture modifiers: the base and the noise.
#include "image/kvTextureModifier.h"

#include "image/kvRandom.h"
#include "image/kvTexture.h"
#include "math/vector3.h"

namespace Korvell {

kvTextureModifier::kvTextureModifier() : target(nullptr) {}
kvTextureModifier::~kvTextureModifier() {}

bool kvTextureModifier::setTexture(kvTexture* texture)
{
    if (!texture) return false;
    target = texture;
    return true;
}

int kvNoiseModifier::maxSize()
{
    // Sides are rounded up to a power of two in the buffer, 3 bytes a pixel.
    int side = 2;
    while (side * 2 <= kvTexture::getMaxSize() && 4ll * side * side * 3 <= kMaxBytes) side *= 2;
    return side;
}

kvNoiseModifier::kvNoiseModifier() {}
kvNoiseModifier::~kvNoiseModifier() {}

void kvNoiseModifier::apply()
{
    if (!target || !target->getPixels()) return;
    const int w = target->getWidth();
    const int h = target->getHeight();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // (r mod 25500) / 100 keeps two decimals and never reaches 255.
            float g = static_cast<float>(kvRandom::next() % 25500) / 100.0f;
            float c = g / 255.0f;
            target->setPixel(x, y, vector3(c, c, c));
        }
    }
}

} // namespace Korvell
