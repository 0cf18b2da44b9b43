// A renderer that draws nothing and writes each call as a line of text, so
// player, subtitle and credits tests compare frames as text. Textures and
// fonts get indexes like the real renderer's; fonts have simple, known
// metrics (every glyph advances `advance` and is `height` tall). A call on a
// texture index that was deleted (or never made) counts in deadUses, which
// the test fixtures require to stay 0.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "render/kvRenderer.h"

namespace Korvell {

class kvRecordingRenderer : public kvRenderer {
public:
    kvRecordingRenderer();
    ~kvRecordingRenderer() override;

    void clear() override;
    void setupView(int clientWidth, int clientHeight) override;
    void setColorRGBA(vector4 color) override;
    void setColorRGB(vector3 color) override;
    void drawQuad(vector2 a, vector2 b) override;
    void pushMatrix() override;
    void popMatrix() override;
    void translate(vector2 v) override;
    void scale(vector2 v) override;
    void setTextureMatrix(const float* matrix) override;
    kvTextureIndex createTexture(int width, int height, int bitsPerPixel, int filter) override;
    kvTextureIndex loadTexture(const std::string& fileName, int filter, vector2 shownSpan = vector2(),
                               std::string* reason = nullptr, kvTextureIndex* blurred = nullptr) override;
    bool textureSize(kvTextureIndex index, int* w, int* h, float* u, float* v) const override;
    bool textureFocus(kvTextureIndex index, kvRegion* region) const override;
    bool textureOpaque(kvTextureIndex index) const override;
    void preloadTextures(const std::vector<kvPreloadRequest>& wanted) override;
    void reserveTextures(int count) override;
    void dropPreloads() override;
    bool setTextureModifier(kvTextureIndex index, kvTextureModifier* modifier) override;
    void deleteTexture(kvTextureIndex index) override;
    void bindTexture(kvTextureIndex index) override;
    void refreshTexture(kvTextureIndex index) override;
    kvFontIndex createFont(const std::string& face, bool bold, bool italic) override;
    void drawText(kvFontIndex font, const std::string& text) override;
    void deleteFont(kvFontIndex font) override;
    bool measureText(kvFontIndex font, const std::string& text, vector2* size) override;
    bool findLineBreak(kvFontIndex font, const std::string& text, float scale, float margin,
                       int* position) override;
    bool releaseTextureData(kvTextureIndex index) override;

    // Every call so far, one line each; take() also forgets them.
    std::vector<std::string> lines;
    std::vector<std::string> take();
    // Only the lines that start with the prefix (e.g. "quad", "text").
    std::vector<std::string> only(const std::string& prefix) const;

    // Textures whose file name is listed here fail to load (index 0).
    std::set<std::string> missing;
    // Pictures' sizes in pixels, by file name (unknown: textureSize fails);
    // their buffers are the next powers of two.
    std::map<std::string, std::pair<int, int>> sizes;
    // Pictures' focus as found, by file name (none: not found yet).
    std::map<std::string, kvRegion> focuses;
    // Pictures with see-through pixels, by file name (the rest are opaque).
    std::set<std::string> translucent;
    // The file each loaded texture came from.
    std::map<kvTextureIndex, std::string> loadedFrom;
    // The span each picture was last loaded or preloaded with.
    std::map<std::string, vector2> spans;
    // The files of the last preload request, nearest first.
    std::vector<std::string> preloading;
    // Which textures are alive (loaded or created, not deleted).
    std::set<kvTextureIndex> alive;
    int textureCount;
    int fontCount;
    float advance;
    float height;
    // Calls on a dead texture index, each also recorded as a "DEAD" line.
    int deadUses;

private:
    void add(const std::string& line);
    // False (and counted) for an index that is not alive.
    bool live(kvTextureIndex index, const char* call);
    std::string color;
    std::vector<kvTextureModifier*> modifiers;
};

// "%g" for floats, so lines read naturally.
std::string num(float v);

} // namespace Korvell
