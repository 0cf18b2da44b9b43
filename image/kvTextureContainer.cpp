// Texture registry. It frees only its array: the renderer removes every
// texture before it goes.
#include "image/kvTextureContainer.h"

#include "image/kvTexture.h"

namespace Korvell {

kvTextureContainer::kvTextureContainer() {}
kvTextureContainer::~kvTextureContainer() {}

int kvTextureContainer::add(kvTexture* texture)
{
    entries.push_back(texture);
    return static_cast<int>(entries.size());
}

kvTexture* kvTextureContainer::get(unsigned index) const
{
    if (index == 0 || index > entries.size()) return nullptr;
    return entries[index - 1];
}

void kvTextureContainer::remove(unsigned index)
{
    if (index == 0 || index > entries.size() || !entries[index - 1]) return;
    delete entries[index - 1];
    entries[index - 1] = nullptr;
}

} // namespace Korvell
