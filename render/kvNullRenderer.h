// A renderer that draws nothing and loads nothing, but hands out texture
// and font indexes as a real one does: what the script checker replays a
// script against, with no window and no GL.
#pragma once

#include "render/kvRenderer.h"

namespace Korvell {

class kvNullRenderer : public kvRenderer {
public:
    void clear() override {}
    void setupView(int w, int h) override
    {
        viewClientWidth = w;
        viewClientHeight = h;
    }
    void setColorRGBA(vector4) override {}
    void setColorRGB(vector3) override {}
    void drawQuad(vector2, vector2) override {}
    void pushMatrix() override {}
    void popMatrix() override {}
    void translate(vector2) override {}
    void scale(vector2) override {}
    void setTextureMatrix(const float*) override {}
    kvTextureIndex createTexture(int, int, int, int) override { return kvTextureIndex(++count); }
    kvTextureIndex loadTexture(const std::string&, int, vector2, std::string*, kvTextureIndex* blurred) override
    {
        if (blurred) *blurred = kvTextureIndex(++count);
        return kvTextureIndex(++count);
    }
    void preloadTextures(const std::vector<kvPreloadRequest>&) override {}
    void reserveTextures(int) override {}
    void dropPreloads() override {}
    bool setTextureModifier(kvTextureIndex, kvTextureModifier* modifier) override;
    void deleteTexture(kvTextureIndex) override {}
    void bindTexture(kvTextureIndex index) override { boundTexture = index; }
    void refreshTexture(kvTextureIndex) override {}
    kvFontIndex createFont(const std::string&, bool, bool) override { return kvFontIndex(++fonts); }
    void drawText(kvFontIndex, const std::string&) override {}
    void deleteFont(kvFontIndex) override {}
    bool measureText(kvFontIndex, const std::string&, vector2*) override { return false; }
    bool findLineBreak(kvFontIndex, const std::string&, float, float, int*) override { return false; }
    bool releaseTextureData(kvTextureIndex) override { return false; }

private:
    int32_t count = 0;
    int fonts = 0;
};

} // namespace Korvell
