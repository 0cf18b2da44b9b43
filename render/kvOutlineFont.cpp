// FreeType outlines, unscaled and flattened into polygons.
#include "render/kvOutlineFont.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>

#include "text/kvTextEncoding.h"

namespace Korvell {

namespace {

FT_Library g_freetype = nullptr;

FT_Library library()
{
    if (!g_freetype && FT_Init_FreeType(&g_freetype) != 0) g_freetype = nullptr;
    return g_freetype;
}

// Collects a glyph outline as flattened closed contours.
struct Flattener {
    std::vector<std::vector<kvOutlinePoint>>* contours;
    double scale;
    kvOutlinePoint last;

    void lineTo(double x, double y)
    {
        kvOutlinePoint p{x * scale, y * scale};
        contours->back().push_back(p);
        last = {x, y};
    }
};

int moveTo(const FT_Vector* to, void* user)
{
    Flattener* f = static_cast<Flattener*>(user);
    f->contours->emplace_back();
    f->lineTo(to->x, to->y);
    return 0;
}

int lineTo(const FT_Vector* to, void* user)
{
    static_cast<Flattener*>(user)->lineTo(to->x, to->y);
    return 0;
}

const int kCurveSteps = 8;

int conicTo(const FT_Vector* c, const FT_Vector* to, void* user)
{
    Flattener* f = static_cast<Flattener*>(user);
    kvOutlinePoint p0 = f->last;
    for (int i = 1; i <= kCurveSteps; ++i) {
        double t = static_cast<double>(i) / kCurveSteps, u = 1.0 - t;
        f->lineTo(u * u * p0.x + 2 * u * t * c->x + t * t * to->x,
                  u * u * p0.y + 2 * u * t * c->y + t * t * to->y);
    }
    return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    Flattener* f = static_cast<Flattener*>(user);
    kvOutlinePoint p0 = f->last;
    for (int i = 1; i <= kCurveSteps; ++i) {
        double t = static_cast<double>(i) / kCurveSteps, u = 1.0 - t;
        f->lineTo(u * u * u * p0.x + 3 * u * u * t * c1->x + 3 * u * t * t * c2->x + t * t * t * to->x,
                  u * u * u * p0.y + 3 * u * u * t * c1->y + 3 * u * t * t * c2->y + t * t * t * to->y);
    }
    return 0;
}

} // namespace


namespace {
// fontconfig's best match for the face, its weight and slant, with
// outlines and Polish letters; null when there is none. The caller frees it.
FcPattern* bestMatch(const std::string& face, bool bold, bool italic)
{
    if (!FcInit()) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcLangSet* langs = FcLangSetCreate();
    FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>("pl"));
    FcPatternAddLangSet(pattern, FC_LANG, langs);
    FcLangSetDestroy(langs);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    return match;
}

std::string stringOf(FcPattern* match, const char* object)
{
    FcChar8* value = nullptr;
    if (FcPatternGetString(match, object, 0, &value) == FcResultMatch && value)
        return reinterpret_cast<const char*>(value);
    return std::string();
}
} // namespace

std::string kvOutlineFont::drawnFamily(const std::string& face, bool bold, bool italic)
{
    FcPattern* match = bestMatch(face, bold, italic);
    if (!match) return std::string();
    const std::string family = stringOf(match, FC_FAMILY);
    FcPatternDestroy(match);
    return family;
}

std::string kvOutlineFont::findFontFile(const std::string& face, bool bold, bool italic, int* index,
                                        bool* hasBold, bool* hasItalic)
{
    FcPattern* match = bestMatch(face, bold, italic);
    if (!match) return std::string();
    const std::string path = stringOf(match, FC_FILE);
    int idx = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match, FC_INDEX, 0, &idx);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    if (index) *index = idx;
    if (hasBold) *hasBold = weight >= FC_WEIGHT_DEMIBOLD;
    if (hasItalic) *hasItalic = slant != FC_SLANT_ROMAN;
    FcPatternDestroy(match);
    return path;
}


bool kvOutlineFont::load(const std::string& faceName, bool bold, bool italic)
{
    int faceIndex = 0;
    bool hasBold = false, hasItalic = false;
    file = findFontFile(faceName, bold, italic, &faceIndex, &hasBold, &hasItalic);
    FT_Library lib = library();
    if (file.empty() || !lib) return false;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, file.c_str(), faceIndex, &face) != 0) return false;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return false;
    }
    const double scale = 1.0 / face->units_per_EM;
    FT_Outline_Funcs funcs = {moveTo, lineTo, conicTo, cubicTo, 0, 0};

    for (int code = 0; code < GLYPH_COUNT - 1; ++code) {
        kvOutlineGlyph& g = glyphs[static_cast<size_t>(code)];
        unsigned cp = cp1250ToUnicode(static_cast<unsigned char>(code));
        if (code < 32 || cp == 0) continue; // control and unassigned codes: empty glyphs
        FT_UInt gi = FT_Get_Char_Index(face, cp);
        if (FT_Load_Glyph(face, gi, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0)
            continue;
        FT_GlyphSlot slot = face->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) continue;
        // A face without the asked-for weight or slant gets it synthesised,
        // as the Windows font mapper would.
        if (bold && !hasBold) FT_Outline_Embolden(&slot->outline, face->units_per_EM / 24);
        if (italic && !hasItalic) {
            FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
        Flattener f{&g.contours, scale, {0, 0}};
        FT_Outline_Decompose(&slot->outline, &funcs, &f);
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        g.metrics.blackBoxX = static_cast<float>((box.xMax - box.xMin) * scale);
        g.metrics.blackBoxY = static_cast<float>((box.yMax - box.yMin) * scale);
        g.metrics.originX = static_cast<float>(box.xMin * scale);
        g.metrics.originY = static_cast<float>(box.yMax * scale);
        g.metrics.cellIncX = static_cast<float>(slot->advance.x * scale);
        g.metrics.cellIncY = 0.0f;
    }
    FT_Done_Face(face);
    return true;
}

} // namespace Korvell
