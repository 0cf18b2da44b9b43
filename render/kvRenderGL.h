// The OpenGL 1.1 renderer: immediate mode, fixed-function, one to a dozen
// GL calls per operation. Must be created and destroyed with the context
// current. A texture's GL name is forgotten when it is deleted, so a dead
// index can never reach a name GL has since given to a live texture.
#pragma once

#include <GL/gl.h>

#include <vector>

#include "render/kvGlyphMetrics.h"
#include "render/kvRenderer.h"

namespace Korvell {

class kvRenderGL : public kvRenderer {
public:
    kvRenderGL();
    ~kvRenderGL() override;

    void clear() override;
    void setupView(int clientWidth, int clientHeight) override;
    void setPolygonMode(int mode) override;
    void setColorRGBA(vector4 color) override;
    void setColorRGB(vector3 color) override;
    void setLineWidth(float width) override;
    void drawLine(vector2 from, vector2 to) override;
    void drawQuad(vector2 a, vector2 b) override;
    void pushMatrix() override;
    void popMatrix() override;
    void translate(vector2 v) override;
    void rotate(float angle) override;
    void scale(vector2 v) override;
    void setTextureMatrix(const float* matrix) override;
    kvTextureIndex createTexture(int width, int height, int bitsPerPixel, int filter) override;
    kvTextureIndex loadTexture(const std::string& fileName, int filter) override;
    bool setTextureModifier(kvTextureIndex index, kvTextureModifier* modifier) override;
    void deleteTexture(kvTextureIndex index) override;
    void bindTexture(kvTextureIndex index) override;
    void refreshTexture(kvTextureIndex index) override;
    void setBlendFunc(int source, int destination) override;
    int createFont(const std::string& face, bool bold, bool italic) override;
    void drawText(unsigned font, const std::string& text) override;
    void deleteFont(unsigned font) override;
    bool measureText(unsigned font, const std::string& text, vector2* size) override;
    bool findLineBreak(unsigned font, const std::string& text, float scale, float margin,
                       int* position) override;
    bool releaseTextureData(kvTextureIndex index) override;

    static GLenum blendFactor(int code);
    // Clears a whole window of the given size, for windows drawn without a
    // renderer (the setup dialog, the error box).
    static void clearWindow(int width, int height, vector3 color);

private:
    kvTextureIndex registerTexture(kvTexture* texture, int filter);
    GLuint upload(kvTexture* texture, int filter);
    // The GL name of a live texture, or 0 for a dead or unknown index.
    GLuint liveName(kvTextureIndex index) const;

    // Texture n's GL name at position n - 1; 0 once the texture is deleted.
    std::vector<GLuint> textureNames;
    std::vector<GLuint> fontListBases;
    std::vector<kvGlyphMetrics*> fontMetrics;
};

} // namespace Korvell
