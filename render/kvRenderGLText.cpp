// Subtitle text: lines shaped by the font (kvFont), glyphs from the atlas
// (kvGlyphAtlas) drawn as textured quads in the current colour, each at a
// whole pixel of the screen (a quarter pixel across), so text is crisp
// without multisampling and no frame rasterises what an earlier one did.
// Where the window stores sRGB, the edges blend in linear light, so light
// text on a dark picture keeps its weight.
#define GL_GLEXT_PROTOTYPES 1
#include "render/kvRenderGL.h"

#include <algorithm>
#include <cmath>

#include "render/kvFont.h"
#include "render/kvGlyphAtlas.h"

namespace Korvell {

namespace {
float linearOf(float c)
{
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}
} // namespace

kvFontIndex kvRenderGL::createFont(const std::string& face, bool bold, bool italic)
{
    std::unique_ptr<kvFont> font(new kvFont());
    // A face fontconfig cannot find draws nothing, as any font without
    // glyphs would.
    font->load(face, bold, italic);
    fonts.push_back(std::move(font));
    return kvFontIndex(static_cast<int32_t>(fonts.size()));
}

kvFont* kvRenderGL::fontOf(kvFontIndex font) const
{
    if (font.id <= 0 || static_cast<size_t>(font.id) > fonts.size()) return nullptr;
    return fonts[static_cast<size_t>(font.id - 1)].get();
}

void kvRenderGL::deleteFont(kvFontIndex font)
{
    if (!fontOf(font)) return;
    // Its glyphs go with it (their face ids are never used again).
    if (atlas) atlas->clear();
    fonts[static_cast<size_t>(font.id - 1)].reset();
}

void kvRenderGL::drawText(kvFontIndex handle, const std::string& text)
{
    kvFont* font = fontOf(handle);
    if (!font || text.empty() || viewWidth == 0.0f || viewHeight == 0.0f) return;
    const kvFont::Line& line = font->shape(text);
    if (line.glyphs.empty()) return;
    if (!atlas) atlas.reset(new kvGlyphAtlas());
    // The caller placed the line with translate and scale (an em is that
    // many view units): its baseline's start and the em in pixels.
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float ppuX = viewClientWidth / viewWidth, ppuY = viewClientHeight / viewHeight;
    const float originX = m[12] * ppuX, originY = m[13] * ppuY;
    const float emX = m[0] * ppuX, emY = m[5] * ppuY;
    const int emW = std::min(kvGlyphAtlas::kMaxEm, static_cast<int>(std::lround(std::fabs(emX))));
    const int emH = std::min(kvGlyphAtlas::kMaxEm, static_cast<int>(std::lround(std::fabs(emY))));
    if (emW <= 0 || emH <= 0) return;
    auto place = [&](const kvFont::Glyph& g, int* px, int* quarter) {
        const float x = originX + g.x * emX;
        *px = static_cast<int>(std::floor(x));
        *quarter = static_cast<int>((x - static_cast<float>(*px)) * 4.0f) & 3;
    };
    // Every glyph in the atlas first: one that fills it starts it again,
    // and the line is then put in whole.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const unsigned generation = atlas->getGeneration();
        for (const kvFont::Glyph& g : line.glyphs) {
            int px, quarter;
            place(g, &px, &quarter);
            atlas->glyph(*font, g.face, g.id, emW, emH, quarter);
        }
        if (atlas->getGeneration() == generation) break;
    }
    // Drawn in pixels: a projection of the client area, y downwards.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, viewClientWidth, viewClientHeight, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, atlas->texture());
    // The blend in linear light: the colour given in linear terms, the
    // framebuffer converting on each side of the blend.
    GLfloat color[4];
    glGetFloatv(GL_CURRENT_COLOR, color);
    if (srgbFramebuffer) {
        glEnable(GL_FRAMEBUFFER_SRGB);
        glColor4f(linearOf(color[0]), linearOf(color[1]), linearOf(color[2]), color[3]);
    }
    glBegin(GL_QUADS);
    for (const kvFont::Glyph& g : line.glyphs) {
        int px, quarter;
        place(g, &px, &quarter);
        const kvGlyphAtlas::Entry* e = atlas->glyph(*font, g.face, g.id, emW, emH, quarter);
        if (!e) continue;
        const float x0 = static_cast<float>(px + e->left);
        const float y0 = std::round(originY - g.y * emY) - static_cast<float>(e->top);
        const float x1 = x0 + static_cast<float>(e->width), y1 = y0 + static_cast<float>(e->height);
        glTexCoord2f(e->u0, e->v0);
        glVertex2f(x0, y0);
        glTexCoord2f(e->u1, e->v0);
        glVertex2f(x1, y0);
        glTexCoord2f(e->u1, e->v1);
        glVertex2f(x1, y1);
        glTexCoord2f(e->u0, e->v1);
        glVertex2f(x0, y1);
    }
    glEnd();
    if (srgbFramebuffer) {
        glDisable(GL_FRAMEBUFFER_SRGB);
        glColor4fv(color);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

bool kvRenderGL::measureText(kvFontIndex handle, const std::string& text, vector2* size)
{
    kvFont* font = fontOf(handle);
    if (!font || !size) return false;
    const kvFont::Line& line = font->shape(text);
    *size = vector2(line.width, line.height);
    return true;
}

bool kvRenderGL::findLineBreak(kvFontIndex handle, const std::string& text, float scale, float margin, int* position)
{
    kvFont* font = fontOf(handle);
    if (!font || !position) return false;
    *position = findClusterBreak(font->shape(text).clusters, scale, margin, viewWidth);
    return true;
}

} // namespace Korvell
