// Outline-font text: one display list per 8-bit code (0 to 254), filled
// with the GLU tessellator under the nonzero rule (the odd rule punches
// holes in letters such as "ą"), extruded 0.1 font units, each list ending
// with the glyph's advance so a string draws in one glCallLists.
#include "render/kvRenderGL.h"

#include <GL/glu.h>

#include <deque>

#include "render/kvOutlineFont.h"
#include "render/kvTextLayout.h"

namespace Korvell {

namespace {

const GLuint kFirstListBase = 1000;
const float kExtrusion = 0.1f;

typedef void (*TessCallback)();

struct TessStore {
    std::deque<std::array<GLdouble, 3>> vertices;
};

void combine(GLdouble coords[3], void* /*data*/[4], GLfloat /*weight*/[4], void** out, void* user)
{
    TessStore* store = static_cast<TessStore*>(user);
    store->vertices.push_back({coords[0], coords[1], coords[2]});
    *out = store->vertices.back().data();
}

void fillGlyph(GLUtesselator* tess, const kvOutlineGlyph& glyph, double z)
{
    TessStore store;
    gluTessBeginPolygon(tess, &store);
    for (const auto& contour : glyph.contours) {
        gluTessBeginContour(tess);
        for (const kvOutlinePoint& p : contour) {
            store.vertices.push_back({p.x, p.y, z});
            gluTessVertex(tess, store.vertices.back().data(), store.vertices.back().data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
}

void buildGlyphList(GLUtesselator* tess, GLuint list, const kvOutlineGlyph& glyph)
{
    glNewList(list, GL_COMPILE);
    if (!glyph.contours.empty()) {
        fillGlyph(tess, glyph, 0.0);
        fillGlyph(tess, glyph, -kExtrusion);
        for (const auto& contour : glyph.contours) {
            glBegin(GL_QUAD_STRIP);
            for (size_t i = 0; i <= contour.size(); ++i) {
                const kvOutlinePoint& p = contour[i % contour.size()];
                glVertex3d(p.x, p.y, 0.0);
                glVertex3d(p.x, p.y, -kExtrusion);
            }
            glEnd();
        }
    }
    glTranslatef(glyph.metrics.cellIncX, glyph.metrics.cellIncY, 0.0f);
    glEndList();
}

} // namespace

kvFontIndex kvRenderGL::createFont(const std::string& face, bool bold, bool italic)
{
    GLuint base = static_cast<GLuint>(fontListBases.size()) * 256u + kFirstListBase;
    kvGlyphMetrics* metrics = new kvGlyphMetrics[kvOutlineFont::GLYPH_COUNT];

    kvOutlineFont font;
    font.load(face, bold, italic); // a font without outlines just draws nothing
    GLUtesselator* tess = gluNewTess();
    if (tess) {
        gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
        gluTessCallback(tess, GLU_TESS_BEGIN, reinterpret_cast<TessCallback>(glBegin));
        gluTessCallback(tess, GLU_TESS_VERTEX, reinterpret_cast<TessCallback>(glVertex3dv));
        gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<TessCallback>(glEnd));
        gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<TessCallback>(combine));
        for (int code = 0; code < kvOutlineFont::GLYPH_COUNT - 1; ++code) {
            metrics[code] = font.glyph(code).metrics;
            buildGlyphList(tess, base + static_cast<GLuint>(code), font.glyph(code));
        }
        gluDeleteTess(tess);
    }
    fontMetrics.push_back(metrics);
    fontListBases.push_back(base);
    return kvFontIndex(static_cast<int32_t>(fontListBases.size()));
}

void kvRenderGL::drawText(kvFontIndex handle, const std::string& text)
{
    const unsigned font = static_cast<unsigned>(handle.id < 0 ? 0 : handle.id);
    if (font == 0 || font > fontListBases.size() || !fontListBases[font - 1] || text.empty()) return;
    glPushAttrib(GL_LIST_BIT);
    glPushMatrix();
    glListBase(fontListBases[font - 1]);
    // Font space has y upwards, the view y downwards.
    glScalef(1.0f, -1.0f, 1.0f);
    glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
    glPopMatrix();
    glPopAttrib();
}

void kvRenderGL::deleteFont(kvFontIndex handle)
{
    const unsigned font = static_cast<unsigned>(handle.id < 0 ? 0 : handle.id);
    if (font == 0 || font > fontListBases.size()) return;
    delete[] fontMetrics[font - 1];
    fontMetrics[font - 1] = nullptr;
    if (fontListBases[font - 1]) glDeleteLists(fontListBases[font - 1], 256);
    fontListBases[font - 1] = 0;
}

bool kvRenderGL::measureText(kvFontIndex handle, const std::string& text, vector2* size)
{
    const unsigned font = static_cast<unsigned>(handle.id < 0 ? 0 : handle.id);
    if (font == 0 || font > fontMetrics.size() || !fontMetrics[font - 1] || !size) return false;
    *size = measureGlyphs(fontMetrics[font - 1], text);
    return true;
}

bool kvRenderGL::findLineBreak(kvFontIndex handle, const std::string& text, float scale, float margin,
                               int* position)
{
    const unsigned font = static_cast<unsigned>(handle.id < 0 ? 0 : handle.id);
    if (font == 0 || font > fontMetrics.size() || !fontMetrics[font - 1] || !position) return false;
    *position = findGlyphBreak(fontMetrics[font - 1], text, scale, margin, viewWidth);
    return true;
}

} // namespace Korvell
