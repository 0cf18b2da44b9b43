// The OpenGL 1.1 renderer: immediate mode, fixed-function, one to a dozen
// GL calls per operation. Must be created and destroyed with the context
// current.
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
    void setupView() override;
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
    int createTexture(int width, int height, int bitsPerPixel, int filter) override;
    int loadTexture(const std::string& fileName, int filter) override;
    bool setTextureModifier(unsigned index, kvTextureModifier* modifier) override;
    void deleteTexture(int index) override;
    void bindTexture(int index) override;
    void refreshTexture(unsigned index) override;
    void setBlendFunc(int source, int destination) override;
    int createFont(const std::string& face, bool bold, bool italic) override;
    void drawText(unsigned font, const std::string& text) override;
    void deleteFont(unsigned font) override;
    bool measureText(unsigned font, const std::string& text, vector2* size) override;
    bool findLineBreak(unsigned font, const std::string& text, float scale, float margin,
                       int* position) override;
    bool releaseTextureData(int index) override;

    static GLenum blendFactor(int code);

private:
    int registerTexture(kvTexture* texture, int filter);
    GLuint upload(kvTexture* texture, int filter);

    std::vector<GLuint> textureNames;
    std::vector<GLuint> fontListBases;
    std::vector<kvGlyphMetrics*> fontMetrics;
};

} // namespace Korvell
