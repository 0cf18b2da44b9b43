// The renderer's registry of textures: index n at position n - 1, 1-based,
// never reused. Removing leaves a hole; the array never shrinks.
#pragma once

#include <vector>

#include "base/kvHandle.h"

namespace Korvell {

class kvTexture;

// The one handle anybody outside the renderer holds for a texture.
using kvTextureIndex = kvHandle<struct kvTextureKind>;

class kvTextureContainer {
public:
    kvTextureIndex add(kvTexture* texture);
    kvTexture* get(kvTextureIndex index) const;
    // Deletes the texture and leaves its slot empty.
    void remove(kvTextureIndex index);
    // How many indexes were handed out (the last one made).
    int32_t size() const { return static_cast<int32_t>(entries.size()); }

private:
    std::vector<kvTexture*> entries;
};

} // namespace Korvell
