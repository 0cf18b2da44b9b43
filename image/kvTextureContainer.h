// The renderer's registry of textures: index n at position n - 1, 1-based,
// never reused. Removing leaves a hole; the array never shrinks.
#pragma once

#include <vector>

namespace Korvell {

class kvTexture;

class kvTextureContainer {
public:
    kvTextureContainer();
    virtual ~kvTextureContainer();

    int add(kvTexture* texture);
    kvTexture* get(unsigned index) const;
    void remove(unsigned index);
    unsigned size() const { return static_cast<unsigned>(entries.size()); }

private:
    std::vector<kvTexture*> entries;
};

} // namespace Korvell
