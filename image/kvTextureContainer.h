// The renderer's registry of textures: index n at position n - 1, 1-based,
// never reused. Removing leaves a hole; the array never shrinks.
#pragma once

#include <cstdint>
#include <vector>

namespace Korvell {

class kvTexture;

// The one handle anybody outside the renderer holds for a texture.
typedef int32_t kvTextureIndex;

class kvTextureContainer {
public:
    kvTextureIndex add(kvTexture* texture);
    kvTexture* get(kvTextureIndex index) const;
    // Deletes the texture and leaves its slot empty.
    void remove(kvTextureIndex index);
    kvTextureIndex size() const { return static_cast<kvTextureIndex>(entries.size()); }

private:
    std::vector<kvTexture*> entries;
};

} // namespace Korvell
