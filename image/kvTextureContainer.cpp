// Texture registry. It frees only its array: the renderer removes every
// texture before it goes.
#include "image/kvTextureContainer.h"

#include "image/kvTexture.h"

namespace Korvell {

kvTextureIndex kvTextureContainer::add(kvTexture* texture)
{
    entries.push_back(texture);
    return size();
}

kvTexture* kvTextureContainer::get(kvTextureIndex index) const
{
    if (index <= 0 || index > size()) return nullptr;
    return entries[static_cast<size_t>(index - 1)];
}

void kvTextureContainer::remove(kvTextureIndex index)
{
    kvTexture* t = get(index);
    if (!t) return;
    delete t;
    entries[static_cast<size_t>(index - 1)] = nullptr;
}

} // namespace Korvell
