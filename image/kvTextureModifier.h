// Something that repaints the pixels of one texture in memory. The texture
// owns its modifier; the modifier only points back at it.
#pragma once

namespace Korvell {

class kvTexture;

class kvTextureModifier {
public:
    kvTextureModifier();
    virtual ~kvTextureModifier();
    virtual void apply() = 0;

    bool setTexture(kvTexture* texture);
    kvTexture* getTexture() const { return target; }

protected:
    kvTexture* target;
};

// Fresh grey noise on every apply, from Korvell's own generator so that
// every run paints the same sequence of frames.
class kvNoiseModifier : public kvTextureModifier {
public:
    kvNoiseModifier();
    ~kvNoiseModifier() override;
    void apply() override;

    // A noise texture's buffer, repainted every frame, holds at most this
    // many bytes.
    static const long long kMaxBytes = 64ll << 20;
    // The largest side a noise texture may have: the GL's largest texture
    // side, within kMaxBytes (4096 when the GL allows it).
    static int maxSize();
};

} // namespace Korvell
