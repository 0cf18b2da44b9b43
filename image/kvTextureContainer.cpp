// Texture registry. It frees only its array: the renderer removes every
// texture before it goes.
#include "image/kvTextureContainer.h"

#include "image/kvTexture.h"

namespace Korvell {

kvTextureIndex kvTextureContainer::add(kvTexture* texture)
{
    entries.push_back(texture);
    return kvTextureIndex(static_cast<int32_t>(entries.size()));
}

kvTexture* kvTextureContainer::get(kvTextureIndex index) const
{
    if (index.id <= 0 || static_cast<size_t>(index.id) > entries.size()) return nullptr;
    return entries[static_cast<size_t>(index.id - 1)];
}

void kvTextureContainer::remove(kvTextureIndex index)
{
    kvTexture* t = get(index);
    if (!t) return;
    delete t;
    entries[static_cast<size_t>(index.id - 1)] = nullptr;
}

} // namespace Korvell
