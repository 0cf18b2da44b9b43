// Recording renderer for tests.
#include "support/kvRecordingRenderer.h"

#include "image/kvPictureInfo.h"

#include <cstdio>

#include "image/kvTextureModifier.h"
#include "render/kvTextLayout.h"
#include "text/kvText.h"

namespace Korvell {

std::string num(float v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

kvRecordingRenderer::kvRecordingRenderer()
    : textureCount(0), fontCount(0), advance(1.0f), height(1.0f), deadUses(0), color("1,1,1,1")
{
}

kvRecordingRenderer::~kvRecordingRenderer()
{
    for (kvTextureModifier* m : modifiers) delete m;
}

bool kvRecordingRenderer::live(kvTextureIndex index, const char* call)
{
    if (alive.count(index)) return true;
    ++deadUses;
    add(std::string("DEAD ") + call + " " + std::to_string(index.id));
    return false;
}

void kvRecordingRenderer::setTextureMatrix(const float* m)
{
    if (!m) {
        add("texmatrix identity");
        return;
    }
    add("texmatrix s=" + num(m[0]) + "," + num(m[5]) + " t=" + num(m[12]) + "," + num(m[13]));
}

void kvRecordingRenderer::add(const std::string& line) { lines.push_back(line); }

std::vector<std::string> kvRecordingRenderer::take()
{
    std::vector<std::string> out;
    out.swap(lines);
    return out;
}

std::vector<std::string> kvRecordingRenderer::only(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.compare(0, prefix.size(), prefix) == 0) out.push_back(l);
    return out;
}

void kvRecordingRenderer::clear() { add("clear"); }
void kvRecordingRenderer::setupView(int w, int h)
{
    viewClientWidth = w;
    viewClientHeight = h;
    add("setupView " + std::to_string(w) + "x" + std::to_string(h));
}

void kvRecordingRenderer::setColorRGBA(vector4 c)
{
    color = num(c.x) + "," + num(c.y) + "," + num(c.z) + "," + num(c.w);
    add("color " + color);
}

void kvRecordingRenderer::setColorRGB(vector3 c)
{
    color = num(c.x) + "," + num(c.y) + "," + num(c.z) + ",1";
    add("color " + color);
}


void kvRecordingRenderer::drawQuad(vector2 a, vector2 b)
{
    add("quad (" + num(a.x) + "," + num(a.y) + ")-(" + num(b.x) + "," + num(b.y) + ") tex="
        + std::to_string(boundTexture.id) + " rgba=" + color);
}

void kvRecordingRenderer::pushMatrix() { add("push"); }
void kvRecordingRenderer::popMatrix() { add("pop"); }
void kvRecordingRenderer::translate(vector2 v) { add("translate " + num(v.x) + "," + num(v.y)); }
void kvRecordingRenderer::scale(vector2 v) { add("scale " + num(v.x) + "," + num(v.y)); }

kvTextureIndex kvRecordingRenderer::createTexture(int w, int h, int bpp, int filter)
{
    kvTextureIndex index(++textureCount);
    alive.insert(index);
    add("createTexture " + std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(bpp)
        + " filter=" + std::to_string(filter) + " -> " + std::to_string(index.id));
    return index;
}

kvTextureIndex kvRecordingRenderer::loadTexture(const std::string& fileName, int filter, vector2 shownSpan,
                                                std::string* reason, kvTextureIndex* blurred)
{
    if (blurred) *blurred = kvTextureIndex();
    spans[fileName] = shownSpan;
    if (missing.count(fileName)) {
        add("loadTexture " + fileName + " -> 0");
        if (reason) *reason = "no such file";
        return kvTextureIndex();
    }
    kvTextureIndex index(++textureCount);
    alive.insert(index);
    loadedFrom[index] = fileName;
    add("loadTexture " + fileName + " filter=" + std::to_string(filter) + " -> " + std::to_string(index.id));
    if (blurred) {
        *blurred = kvTextureIndex(++textureCount);
        alive.insert(*blurred);
        add("blurred " + fileName + " -> " + std::to_string(blurred->id));
    }
    return index;
}

bool kvRecordingRenderer::textureOpaque(kvTextureIndex index) const
{
    auto from = loadedFrom.find(index);
    return from != loadedFrom.end() && alive.count(index) && !translucent.count(from->second);
}

bool kvRecordingRenderer::textureFocus(kvTextureIndex index, kvRegion* region) const
{
    auto from = loadedFrom.find(index);
    if (from == loadedFrom.end() || !alive.count(index)) return false;
    auto found = focuses.find(from->second);
    if (found == focuses.end()) return false;
    *region = found->second;
    return true;
}

bool kvRecordingRenderer::textureSize(kvTextureIndex index, int* w, int* h, float* u, float* v) const
{
    auto from = loadedFrom.find(index);
    if (from == loadedFrom.end() || !alive.count(index)) return false;
    auto size = sizes.find(from->second);
    if (size == sizes.end()) return false;
    *w = size->second.first;
    *h = size->second.second;
    *u = static_cast<float>(*w) / static_cast<float>(bufferSide(*w));
    *v = static_cast<float>(*h) / static_cast<float>(bufferSide(*h));
    return true;
}

void kvRecordingRenderer::preloadTextures(const std::vector<kvPreloadRequest>& wanted)
{
    // Asked every frame: kept aside, not recorded as a drawing call.
    preloading.clear();
    for (const kvPreloadRequest& w : wanted) {
        preloading.push_back(w.fileName);
        spans[w.fileName] = w.shownSpan;
    }
}

void kvRecordingRenderer::reserveTextures(int count) { add("reserve " + std::to_string(count)); }
void kvRecordingRenderer::dropPreloads() { preloading.clear(); }

bool kvRecordingRenderer::setTextureModifier(kvTextureIndex index, kvTextureModifier* modifier)
{
    add("setTextureModifier " + std::to_string(index.id));
    modifiers.push_back(modifier);
    return live(index, "setTextureModifier");
}

void kvRecordingRenderer::deleteTexture(kvTextureIndex index)
{
    if (!index || !live(index, "deleteTexture")) return;
    alive.erase(index);
    add("deleteTexture " + std::to_string(index.id));
}

void kvRecordingRenderer::bindTexture(kvTextureIndex index)
{
    if (index) live(index, "bind");
    boundTexture = index;
    add("bind " + std::to_string(index.id));
}

void kvRecordingRenderer::refreshTexture(kvTextureIndex index)
{
    live(index, "refresh");
    add("refresh " + std::to_string(index.id));
}

kvFontIndex kvRecordingRenderer::createFont(const std::string& face, bool bold, bool italic)
{
    kvFontIndex index(++fontCount);
    add("createFont " + face + (bold ? " bold" : "") + (italic ? " italic" : "") + " -> "
        + std::to_string(index.id));
    return index;
}

void kvRecordingRenderer::drawText(kvFontIndex font, const std::string& text)
{
    add("text " + std::to_string(font.id) + " '" + text + "'");
}

void kvRecordingRenderer::deleteFont(kvFontIndex font) { add("deleteFont " + std::to_string(font.id)); }

bool kvRecordingRenderer::measureText(kvFontIndex font, const std::string& text, vector2* size)
{
    if (font.id <= 0 || font.id > fontCount) return false;
    // Every character (cluster) advances the same and is as tall.
    const size_t clusters = clusterCount(text);
    *size = vector2(advance * static_cast<float>(clusters), clusters ? height : 0.0f);
    return true;
}

bool kvRecordingRenderer::findLineBreak(kvFontIndex font, const std::string& text, float scale_,
                                        float margin, int* position)
{
    if (font.id <= 0 || font.id > fontCount) return false;
    *position = findClusterBreak(evenClusters(text, advance), scale_, margin, viewWidth);
    return true;
}

bool kvRecordingRenderer::releaseTextureData(kvTextureIndex index)
{
    add("release " + std::to_string(index.id));
    return live(index, "release");
}

} // namespace Korvell
