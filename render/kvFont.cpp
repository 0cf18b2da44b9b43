// fontconfig, FreeType, HarfBuzz and FriBidi.
#include "render/kvFont.h"

#include <fontconfig/fontconfig.h>
#include <fribidi.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "text/kvText.h"

namespace Korvell {

namespace {

const size_t kLinesKept = 32;

FT_Library library()
{
    static FT_Library lib = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    });
    return lib;
}

int nextFaceId()
{
    static int id = 0;
    return ++id;
}

// fontconfig's request for a family, weight and slant, with outlines.
FcPattern* request(const std::string& family, bool bold, bool italic)
{
    if (!FcInit()) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

std::string stringOf(FcPattern* p, const char* object)
{
    FcChar8* value = nullptr;
    return FcPatternGetString(p, object, 0, &value) == FcResultMatch && value ? reinterpret_cast<const char*>(value)
                                                                              : std::string();
}

// Characters that belong to the one before them: marks, joiners,
// variation selectors, emoji modifiers and tags.
bool joinsPrevious(uint32_t cp)
{
    const hb_unicode_general_category_t c = hb_unicode_general_category(hb_unicode_funcs_get_default(), cp);
    return c == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK || c == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK
           || c == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK || cp == 0x200C || cp == 0x200D
           || (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0x1F3FB && cp <= 0x1F3FF) || (cp >= 0xE0020 && cp <= 0xE007F)
           || (cp >= 0xE0100 && cp <= 0xE01EF);
}

} // namespace

struct kvFont::Face {
    int id = 0;
    std::string file;
    int index = 0;
    FT_Face ft = nullptr;
    hb_font_t* hb = nullptr;
    float upem = 1000.0f;
    bool embolden = false, slant = false; // drawn so, the face being neither
    ~Face()
    {
        if (hb) hb_font_destroy(hb);
        if (ft) FT_Done_Face(ft);
    }
};

kvFont::kvFont() {}

kvFont::~kvFont()
{
    if (fallbacks) FcFontSetDestroy(fallbacks);
}

const std::string& kvFont::getFile() const
{
    static const std::string none;
    return faces.empty() ? none : faces[0]->file;
}

int kvFont::openFace(FcPattern* pattern)
{
    const std::string file = stringOf(pattern, FC_FILE);
    int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
    FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(pattern, FC_SLANT, 0, &slant);
    for (const auto& f : faces)
        if (f->file == file && f->index == index) return f->id;
    FT_Library lib = library();
    if (file.empty() || !lib) return 0;
    std::unique_ptr<Face> face(new Face());
    if (FT_New_Face(lib, file.c_str(), index, &face->ft) != 0) {
        face->ft = nullptr;
        return 0;
    }
    if (!FT_IS_SCALABLE(face->ft) || face->ft->units_per_EM == 0) return 0;
    hb_blob_t* blob = hb_blob_create_from_file(file.c_str());
    hb_face_t* hbFace = hb_face_create(blob, static_cast<unsigned>(index));
    face->hb = hb_font_create(hbFace); // scaled in font units
    hb_face_destroy(hbFace);
    hb_blob_destroy(blob);
    face->upem = static_cast<float>(face->ft->units_per_EM);
    face->embolden = bold && weight < FC_WEIGHT_DEMIBOLD;
    face->slant = italic && slant == FC_SLANT_ROMAN;
    face->id = nextFaceId();
    face->file = file;
    face->index = index;
    faces.push_back(std::move(face));
    return faces.back()->id;
}

kvFont::Face* kvFont::faceById(int id)
{
    for (const auto& f : faces)
        if (f->id == id) return f.get();
    return nullptr;
}

bool kvFont::load(const std::string& family, bool bold_, bool italic_)
{
    bold = bold_;
    italic = italic_;
    FcPattern* pattern = request(family, bold, italic);
    if (!pattern) return false;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    // The faces to fall back on, best first, for what the match lacks.
    fallbacks = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    const int first = openFace(match);
    FcPatternDestroy(match);
    return first != 0;
}

int kvFont::faceFor(uint32_t cp)
{
    if (faces.empty()) return 0;
    if (FT_Get_Char_Index(faces[0]->ft, cp) != 0) return faces[0]->id;
    for (size_t i = 1; i < faces.size(); ++i)
        if (FT_Get_Char_Index(faces[i]->ft, cp) != 0) return faces[i]->id;
    for (int i = 0; fallbacks && i < fallbacks->nfont; ++i) {
        FcCharSet* chars = nullptr;
        if (FcPatternGetCharSet(fallbacks->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch || !FcCharSetHasChar(chars, cp))
            continue;
        const int id = openFace(fallbacks->fonts[i]);
        Face* f = faceById(id);
        if (f && FT_Get_Char_Index(f->ft, cp) != 0) return id;
    }
    return faces[0]->id; // its missing-glyph box
}

const kvFont::Line& kvFont::shape(const std::string& text)
{
    for (auto it = lines.begin(); it != lines.end(); ++it) {
        if (it->text != text) continue;
        if (it != lines.begin()) {
            Line found = std::move(*it);
            lines.erase(it);
            lines.push_front(std::move(found));
        }
        return lines.front();
    }
    if (lines.size() >= kLinesKept) lines.pop_back();
    lines.emplace_front();
    Line& line = lines.front();
    line.text = text;
    if (faces.empty() || text.empty()) return line;

    std::vector<uint32_t> cps;
    std::vector<size_t> offsets;
    decodeUtf8(text, cps, offsets);
    const size_t n = cps.size();
    // A face and a bidi level for every character.
    std::vector<int> faceOf(n);
    for (size_t i = 0; i < n; ++i) faceOf[i] = i > 0 && joinsPrevious(cps[i]) ? faceOf[i - 1] : faceFor(cps[i]);
    std::vector<FriBidiCharType> types(n);
    std::vector<FriBidiBracketType> brackets(n);
    std::vector<FriBidiLevel> levels(n, 0);
    std::vector<FriBidiChar> chars(cps.begin(), cps.end());
    fribidi_get_bidi_types(chars.data(), static_cast<FriBidiStrIndex>(n), types.data());
    fribidi_get_bracket_types(chars.data(), static_cast<FriBidiStrIndex>(n), types.data(), brackets.data());
    FriBidiParType direction = FRIBIDI_PAR_ON;
    if (!fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), static_cast<FriBidiStrIndex>(n), &direction,
                                             levels.data()))
        std::fill(levels.begin(), levels.end(), 0);

    // Runs of one face and one level, in logical order, each shaped.
    struct Run {
        size_t from, to; // code points
        int face;
        int level;
        std::vector<Glyph> glyphs;
        float width = 0.0f;
    };
    std::vector<Run> runs;
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        while (j < n && faceOf[j] == faceOf[i] && levels[j] == levels[i]) ++j;
        runs.push_back({i, j, faceOf[i], levels[i], {}, 0.0f});
        i = j;
    }
    std::vector<float> clusterAdvance(text.size() + 1, 0.0f);
    hb_buffer_t* buffer = hb_buffer_create();
    for (Run& run : runs) {
        Face* face = faceById(run.face);
        const size_t b0 = offsets[run.from], b1 = run.to < n ? offsets[run.to] : text.size();
        hb_buffer_clear_contents(buffer);
        hb_buffer_add_utf8(buffer, text.data(), static_cast<int>(text.size()), static_cast<unsigned>(b0),
                           static_cast<int>(b1 - b0));
        hb_buffer_set_direction(buffer, run.level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_guess_segment_properties(buffer);
        hb_shape(face->hb, buffer, nullptr, 0);
        unsigned count = 0;
        const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
        const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
        float pen = 0.0f;
        for (unsigned g = 0; g < count; ++g) {
            const float advance = pos[g].x_advance / face->upem;
            run.glyphs.push_back({face->id, info[g].codepoint, pen + pos[g].x_offset / face->upem,
                                  pos[g].y_offset / face->upem});
            pen += advance;
            if (info[g].cluster < clusterAdvance.size()) clusterAdvance[info[g].cluster] += advance;
            hb_glyph_extents_t extents;
            if (hb_font_get_glyph_extents(face->hb, info[g].codepoint, &extents))
                line.height = std::max(line.height, std::fabs(static_cast<float>(extents.height)) / face->upem);
        }
        run.width = pen;
    }
    hb_buffer_destroy(buffer);

    // Runs in the order they are seen: from the highest level down to the
    // lowest odd one, every stretch at that level or above is reversed.
    std::vector<size_t> order(runs.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    int highest = 0, lowestOdd = 255;
    for (const Run& r : runs) {
        highest = std::max(highest, r.level);
        if (r.level % 2) lowestOdd = std::min(lowestOdd, r.level);
    }
    for (int level = highest; level >= lowestOdd && level > 0; --level) {
        for (size_t i = 0; i < order.size();) {
            if (runs[order[i]].level < level) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < order.size() && runs[order[j]].level >= level) ++j;
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i), order.begin() + static_cast<std::ptrdiff_t>(j));
            i = j;
        }
    }
    float x = 0.0f;
    for (size_t k : order) {
        for (Glyph g : runs[k].glyphs) {
            g.x += x;
            line.glyphs.push_back(g);
        }
        x += runs[k].width;
    }
    line.width = x;

    // The clusters, logical, with what each advances and where a break is allowed.
    const std::vector<bool> can = breakOpportunities(text);
    const std::vector<size_t> starts = clusterStarts(text);
    for (size_t c = 0; c < starts.size(); ++c) {
        kvCluster k;
        k.byte = starts[c];
        const size_t end = c + 1 < starts.size() ? starts[c + 1] : text.size();
        for (size_t b = starts[c]; b < end; ++b) k.advance += clusterAdvance[b];
        k.breakBefore = can[starts[c]];
        k.space = text[starts[c]] == ' ';
        line.clusters.push_back(k);
    }
    return line;
}

bool kvFont::rasterise(int faceId, uint32_t glyph, int emWidth, int emHeight, int quarter, Bitmap& out)
{
    Face* face = faceById(faceId);
    if (!face || emWidth <= 0 || emHeight <= 0) return false;
    FT_Face ft = face->ft;
    if (FT_Set_Pixel_Sizes(ft, static_cast<FT_UInt>(emWidth), static_cast<FT_UInt>(emHeight)) != 0) return false;
    // A slant the face lacks, as a shear (about 12 degrees), and the
    // quarter-pixel shift of the glyph's place on the screen.
    FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};
    FT_Vector shift = {quarter * 16, 0};
    FT_Set_Transform(ft, face->slant ? &shear : nullptr, &shift);
    if (FT_Load_Glyph(ft, glyph, FT_LOAD_TARGET_LIGHT | FT_LOAD_COLOR) != 0) return false;
    FT_GlyphSlot slot = ft->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (face->embolden) FT_Outline_Embolden(&slot->outline, emHeight * 64 / 24);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0) return false;
    }
    const FT_Bitmap& b = slot->bitmap;
    out.width = static_cast<int>(b.width);
    out.height = static_cast<int>(b.rows);
    out.left = slot->bitmap_left;
    out.top = slot->bitmap_top;
    out.coverage.assign(static_cast<size_t>(out.width) * out.height, 0);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* row = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
        for (int x = 0; x < out.width; ++x) {
            uint8_t v = 0;
            if (b.pixel_mode == FT_PIXEL_MODE_GRAY) v = row[x];
            else if (b.pixel_mode == FT_PIXEL_MODE_MONO) v = (row[x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
            else if (b.pixel_mode == FT_PIXEL_MODE_BGRA) v = row[x * 4 + 3];
            out.coverage[static_cast<size_t>(y) * out.width + x] = v;
        }
    }
    return true;
}

std::string kvFont::findFontFile(const std::string& family)
{
    FcPattern* pattern = request(family, false, false);
    if (!pattern) return std::string();
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::string();
    const std::string file = stringOf(match, FC_FILE);
    FcPatternDestroy(match);
    return file;
}

std::string kvFont::drawnFamily(const std::string& family, bool bold, bool italic)
{
    FcPattern* pattern = request(family, bold, italic);
    if (!pattern) return std::string();
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::string();
    const std::string drawn = stringOf(match, FC_FAMILY);
    FcPatternDestroy(match);
    return drawn;
}

uint32_t kvFont::undrawable(const std::string& text)
{
    static FcCharSet* all = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        if (!FcInit()) return;
        all = FcCharSetCreate();
        FcPattern* any = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_CHARSET, nullptr);
        FcFontSet* fonts = FcFontList(nullptr, any, objects);
        for (int i = 0; fonts && i < fonts->nfont; ++i) {
            FcCharSet* chars = nullptr;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &chars) == FcResultMatch) FcCharSetMerge(all, chars, nullptr);
        }
        if (fonts) FcFontSetDestroy(fonts);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(any);
    });
    if (!all) return 0;
    std::vector<uint32_t> cps;
    std::vector<size_t> offsets;
    decodeUtf8(validUtf8(text), cps, offsets);
    for (uint32_t cp : cps) {
        // Controls, joiners and selectors are drawn by no font and need none.
        const hb_unicode_general_category_t c = hb_unicode_general_category(hb_unicode_funcs_get_default(), cp);
        if (c == HB_UNICODE_GENERAL_CATEGORY_CONTROL || c == HB_UNICODE_GENERAL_CATEGORY_FORMAT || joinsPrevious(cp)
            || cp == ' ')
            continue;
        if (!FcCharSetHasChar(all, cp)) return cp;
    }
    return 0;
}

} // namespace Korvell
