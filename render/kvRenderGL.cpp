// OpenGL renderer: view, drawing, and textures by index. Text lives in
// kvRenderGLText.cpp.
#define GL_GLEXT_PROTOTYPES 1
#include "render/kvRenderGL.h"

#include "render/kvFont.h"
#include "render/kvGlyphAtlas.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <thread>

#include "image/kvPictureDecoder.h"
#include "image/kvPictureFile.h"
#include "image/kvResample.h"
#include "image/kvTexture.h"
#include "image/kvTextureModifier.h"

namespace Korvell {

kvRenderGL::kvRenderGL()
{
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    if (maxSide > 0) kvTexture::setMaxSize(maxSide);
    while (glGetError() != GL_NO_ERROR) {}
    GLint encoding = GL_LINEAR;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_COLOR_ENCODING,
                                          &encoding);
    srgbFramebuffer = glGetError() == GL_NO_ERROR && encoding == GL_SRGB;
}

namespace {
// How many pictures are decoded ahead, and the bytes they may hold
// (however large, the next one is always allowed). One: the next slide's
// picture is ready seconds before its switch, and a second one ahead cost
// a fifth of the show's peak memory without a smoother switch (bench/).
const size_t kPreloadDepth = 1;
const size_t kPreloadBytes = 48u << 20;
} // namespace

kvRenderGL::~kvRenderGL()
{
    clips.clear(); // their workers stop first
    preloader.reset(); // the worker stops first
    for (Prepared& p : prepared)
        if (p.name) glDeleteTextures(1, &p.name);
    for (Spare& sp : spares) glDeleteTextures(1, &sp.name);
    spares.clear();
    for (int32_t n = 1; n <= textures.size(); ++n) deleteTexture(kvTextureIndex(n));
    for (Spare& sp : spares) glDeleteTextures(1, &sp.name);
    // Fonts belong to whoever made them (the player deletes its own); those
    // left behind go with the renderer, and so does the glyph atlas.
}

void kvRenderGL::clear()
{
    // The first frame is drawn: the worker may look for faces now.
    if (++clears == 2 && preloader) preloader->pauseFocus(false);
    glClearColor(clearColor.x, clearColor.y, clearColor.z, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void kvRenderGL::clearWindow(int width, int height, vector3 color)
{
    glViewport(0, 0, width, height);
    glClearColor(color.x, color.y, color.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void kvRenderGL::setupView(int clientWidth_, int clientHeight_)
{
    viewClientWidth = clientWidth_;
    viewClientHeight = clientHeight_;
    glViewport(0, 0, viewClientWidth, viewClientHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, viewWidth, viewHeight, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void kvRenderGL::setColorRGBA(vector4 c)
{
    colorAlpha = c.w;
    glColor4f(c.x, c.y, c.z, c.w);
}

void kvRenderGL::setColorRGB(vector3 c)
{
    colorAlpha = 1.0f;
    glColor3f(c.x, c.y, c.z);
}
void kvRenderGL::drawQuad(vector2 a, vector2 b)
{
    // Blending with alpha 0 leaves every pixel as it was, and with alpha 1
    // over an opaque texture it only copies: a software rasteriser spends
    // most of a frame on full-screen quads, so both are done the short way.
    // The player draws the slide that has left at alpha 0 every frame.
    if (colorAlpha <= 0.0f) return;
    float u = 1.0f, v = 1.0f;
    bool opaque = colorAlpha >= 1.0f;
    if (boundTexture) {
        // A bound index whose texture is gone draws with (1, 1) rather
        // than reading a freed texture.
        kvTexture* t = textures.get(boundTexture);
        if (t && t->getBufferWidth() > 0 && t->getBufferHeight() > 0) {
            u = static_cast<float>(t->getWidth()) / static_cast<float>(t->getBufferWidth());
            v = static_cast<float>(t->getHeight()) / static_cast<float>(t->getBufferHeight());
        }
        opaque = opaque && t && t->isOpaque();
    }
    if (opaque) glDisable(GL_BLEND);
    glBegin(GL_QUADS);
    glTexCoord2f(u, 0.0f);
    glVertex2f(b.x, a.y);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(a.x, a.y);
    glTexCoord2f(0.0f, v);
    glVertex2f(a.x, b.y);
    glTexCoord2f(u, v);
    glVertex2f(b.x, b.y);
    glEnd();
    if (opaque) glEnable(GL_BLEND);
}

void kvRenderGL::pushMatrix()
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
}

void kvRenderGL::popMatrix()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void kvRenderGL::setTextureMatrix(const float* matrix)
{
    glMatrixMode(GL_TEXTURE);
    if (matrix)
        glLoadMatrixf(matrix);
    else
        glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

void kvRenderGL::translate(vector2 v) { glTranslatef(v.x, v.y, 0.0f); }
void kvRenderGL::scale(vector2 v) { glScalef(v.x, v.y, 1.0f); }

GLuint kvRenderGL::storageFor(const kvTexture* t, int filter)
{
    const GLenum format = t->getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB;
    GLuint name = 0;
    // A deleted texture of the same size lends its storage: a new one can
    // cost the driver tens of milliseconds to allocate and clear.
    for (auto it = spares.begin(); it != spares.end(); ++it) {
        if (it->width != t->getBufferWidth() || it->height != t->getBufferHeight() || it->format != format) continue;
        name = it->name;
        spares.erase(it);
        glBindTexture(GL_TEXTURE_2D, name);
        break;
    }
    if (name == 0) {
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), t->getBufferWidth(), t->getBufferHeight(), 0,
                     format, GL_UNSIGNED_BYTE, nullptr);
    }
    const GLint f = filter == 1 ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, f);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, f);
    return name;
}

GLuint kvRenderGL::upload(kvTexture* t, int filter)
{
    const GLenum format = t->getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB;
    const GLuint name = storageFor(t, filter);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, t->getBufferWidth(), t->getBufferHeight(), format, GL_UNSIGNED_BYTE,
                    t->getPixels());
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

kvTextureIndex kvRenderGL::registerTexture(kvTexture* texture, int filter)
{
    if (texture->getStatus() != 0) {
        delete texture;
        return kvTextureIndex();
    }
    kvTextureIndex index = textures.add(texture);
    textureNames.push_back(upload(texture, filter));
    return index;
}

kvTextureIndex kvRenderGL::createTexture(int width, int height, int bitsPerPixel, int filter)
{
    return registerTexture(new kvTexture(width, height, bitsPerPixel), filter);
}

kvPictureRequest kvRenderGL::requestFor(const std::string& fileName, vector2 span, bool blurred, bool focus) const
{
    kvPictureRequest r;
    r.fileName = fileName;
    r.blurred = blurred;
    r.focus = focus;
    r.archive = pictureArchive;
    // The span in pixels of the last client area; anything odd asks for
    // the full size.
    auto pixels = [](float span_, float view, int client) {
        const double px = static_cast<double>(span_) / static_cast<double>(view) * client;
        return std::isfinite(px) && px > 0.0 ? static_cast<int>(std::min(std::ceil(px), 65536.0)) : 0;
    };
    if (viewClientWidth > 0 && viewClientHeight > 0) {
        r.neededWidth = pixels(span.x, viewWidth, viewClientWidth);
        r.neededHeight = pixels(span.y, viewHeight, viewClientHeight);
        if (r.neededWidth == 0 || r.neededHeight == 0) r.neededWidth = r.neededHeight = 0;
    }
    return r;
}

bool kvRenderGL::uploadSlice(Prepared& p, size_t bytes)
{
    kvTexture* t = p.texture.get();
    if (!t || !t->getPixels()) return true;
    const GLenum format = t->getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB;
    const size_t rowBytes = static_cast<size_t>(t->getBufferWidth()) * static_cast<size_t>(t->getBytesPerPixel());
    if (p.name == 0) {
        // Storage first; the rows follow slice by slice.
        p.name = storageFor(t, p.filter);
    } else {
        glBindTexture(GL_TEXTURE_2D, p.name);
    }
    // Sizes stay in size_t until they are clamped to the rows left, which
    // fit an int: a whole upload (SIZE_MAX bytes) never wraps to one row.
    const size_t left = static_cast<size_t>(t->getBufferHeight() - p.rowsUploaded);
    const int n = static_cast<int>(std::min(left, std::max<size_t>(1, bytes / rowBytes)));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, p.rowsUploaded, t->getBufferWidth(), n, format, GL_UNSIGNED_BYTE,
                    t->getPixels() + static_cast<size_t>(p.rowsUploaded) * rowBytes);
    glBindTexture(GL_TEXTURE_2D, 0);
    p.rowsUploaded += n;
    if (p.rowsUploaded < t->getBufferHeight()) return false;
    t->release(); // the GL copy is all the show needs
    return true;
}

kvTextureIndex kvRenderGL::registerPrepared(Prepared& p, kvTextureIndex* blurred)
{
    // Whatever is left goes up now, before the picture is drawn: a slide
    // never shows a picture in part, nor what its storage held before.
    while (!uploadSlice(p, SIZE_MAX)) {
    }
    // The blurred copy is small: up whole.
    if (blurred) *blurred = p.blurred ? registerTexture(p.blurred.release(), 1) : kvTextureIndex();
    const kvTextureIndex index = textures.add(p.texture.release());
    textureNames.push_back(p.name);
    p.name = 0;
    return index;
}

kvTextureIndex kvRenderGL::loadTexture(const std::string& fileName, int filter, vector2 shownSpan,
                                       std::string* reason, kvTextureIndex* blurred)
{
    if (blurred) *blurred = kvTextureIndex();
    const kvPictureRequest request = requestFor(fileName, shownSpan, blurred != nullptr, focusWanted);
    const kvTextureIndex index = loadPicture(request, filter, reason, blurred);
    // Its focus is never looked for in the frame: known already, or found
    // by the worker after the pictures (textureFocus picks it up then).
    kvTexture* t = textures.get(index);
    if (!request.focus || !t || !t->getFocus().empty()) return index;
    kvRegion known;
    if (knownFocus(request.fileName, request.archive, &known)) {
        t->setFocus(known);
    } else {
        getPreloader()->findFocusLater(request);
        focusLater[index] = std::make_pair(request.fileName, request.archive);
    }
    return index;
}

kvTextureIndex kvRenderGL::loadPicture(const kvPictureRequest& request, int filter, std::string* reason,
                                       kvTextureIndex* blurred)
{
    // Ready ahead, or at least decoded ahead.
    for (auto it = prepared.begin(); it != prepared.end(); ++it) {
        if (!(it->request == request) || it->filter != filter) continue;
        kvTextureIndex index;
        if (reason) *reason = it->reason; // why it failed, or what was passed over
        if (it->texture) index = registerPrepared(*it, blurred);
        prepared.erase(it);
        return index;
    }
    if (preloader) {
        bool failed = false;
        std::string why;
        std::unique_ptr<kvTexture> blur;
        std::unique_ptr<kvTexture> t = preloader->take(request, &failed, &why, &blur);
        if (t || failed) {
            Prepared p;
            p.request = request;
            p.filter = filter;
            p.texture = std::move(t);
            p.blurred = std::move(blur);
            if (reason) *reason = why;
            if (!p.texture) return kvTextureIndex();
            return registerPrepared(p, blurred);
        }
    }
    // Not asked for, or not ready yet (the clock jumped): decoded here, in
    // the frame, as a show without decoding ahead would.
    std::unique_ptr<kvTexture> t(new kvTexture());
    std::unique_ptr<kvTexture> blur;
    kvPictureRequest plain = request;
    plain.focus = false;
    if (!decodeRequest(plain, *t, &blur, reason)) return kvTextureIndex();
    lastLoaded = {0, t->getBufferWidth(), t->getBufferHeight(),
                  static_cast<GLenum>(t->getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB)};
    if (blurred && blur) *blurred = registerTexture(blur.release(), 1);
    return registerTexture(t.release(), filter);
}

bool kvRenderGL::textureFocus(kvTextureIndex index, kvRegion* region) const
{
    if (kvRenderer::textureFocus(index, region)) return true;
    auto it = focusLater.find(index);
    kvTexture* t = textures.get(index);
    if (it == focusLater.end() || !t) return false;
    // A render's frames wait for it, as for a clip's frame due (10 s at most).
    bool known = knownFocus(it->second.first, it->second.second, region);
    if (clipsExact && !known && preloader) preloader->pauseFocus(false);
    for (int i = 0; clipsExact && !known && i < 2000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        known = knownFocus(it->second.first, it->second.second, region);
    }
    if (!known) return false;
    t->setFocus(*region);
    focusLater.erase(it);
    return true;
}

kvPreloader* kvRenderGL::getPreloader()
{
    if (!preloader) {
        preloader.reset(new kvPreloader(kPreloadDepth, kPreloadBytes));
        preloader->pauseFocus(clears < 2 && !clipsExact);
    }
    return preloader.get();
}

bool kvRenderGL::isReadyAhead(const std::string& fileName) const
{
    return rowsUploadedAhead(fileName) == INT_MAX;
}

int kvRenderGL::rowsUploadedAhead(const std::string& fileName) const
{
    for (const Prepared& p : prepared)
        if (p.request.fileName == fileName && p.texture)
            return p.texture->getPixels() ? p.rowsUploaded : INT_MAX;
    return -1;
}

bool kvRenderGL::readTexels(kvTextureIndex index, std::vector<uint8_t>& texels) const
{
    const kvTexture* t = textures.get(index);
    const GLuint name = liveName(index);
    if (!t || name == 0) return false;
    texels.assign(static_cast<size_t>(t->getBufferWidth()) * t->getBufferHeight() * t->getBytesPerPixel(), 0);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, t->getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

void kvRenderGL::dropPreloads()
{
    if (preloader) preloader->forget();
    for (Prepared& p : prepared)
        if (p.name) glDeleteTextures(1, &p.name);
    prepared.clear();
}

void kvRenderGL::reserveTextures(int count)
{
    if (lastLoaded.width == 0) return;
    for (int i = 0; i < count; ++i) {
        Spare sp = lastLoaded;
        glGenTextures(1, &sp.name);
        glBindTexture(GL_TEXTURE_2D, sp.name);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(sp.format), sp.width, sp.height, 0, sp.format,
                     GL_UNSIGNED_BYTE, nullptr);
        spares.push_back(sp);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

void kvRenderGL::preloadTextures(const std::vector<kvPreloadRequest>& wanted)
{
    std::vector<kvPictureRequest> requests;
    std::vector<int> filters;
    for (const kvPreloadRequest& w : wanted) {
        if (requests.size() == kPreloadDepth) break;
        requests.push_back(requestFor(w.fileName, w.shownSpan, w.blurred, w.focus));
        filters.push_back(w.filter);
    }
    // What is no longer wanted goes; what is already here is not asked
    // of the worker again.
    std::vector<kvPictureRequest> toDecode;
    for (auto it = prepared.begin(); it != prepared.end();) {
        if (std::find(requests.begin(), requests.end(), it->request) == requests.end()) {
            if (it->name) glDeleteTextures(1, &it->name);
            it = prepared.erase(it);
        } else {
            ++it;
        }
    }
    for (const kvPictureRequest& r : requests) {
        bool have = false;
        for (const Prepared& p : prepared) have = have || p.request == r;
        if (!have) toDecode.push_back(r);
    }
    if (!preloader && toDecode.empty()) return;
    getPreloader()->want(toDecode);
    // Finished decodes move here, nearest first, and their upload goes on
    // one slice per frame.
    for (size_t i = 0; i < requests.size(); ++i) {
        bool have = false;
        for (const Prepared& p : prepared) have = have || p.request == requests[i];
        if (have) continue;
        bool failed = false;
        Prepared p;
        p.texture = preloader->take(requests[i], &failed, &p.reason, &p.blurred);
        if (!p.texture && !failed) continue;
        p.request = requests[i];
        p.filter = filters[i];
        prepared.push_back(std::move(p));
    }
    size_t budget = uploadSliceBytes;
    for (const kvPictureRequest& r : requests) {
        for (Prepared& p : prepared) {
            if (budget == 0) return;
            if (!(p.request == r) || !p.texture || !p.texture->getPixels()) continue;
            const kvTexture* t = p.texture.get();
            const size_t before = static_cast<size_t>(p.rowsUploaded);
            uploadSlice(p, budget);
            const size_t rowBytes = static_cast<size_t>(t->getBufferWidth()) * t->getBytesPerPixel();
            const size_t used = (static_cast<size_t>(p.rowsUploaded) - before) * rowBytes;
            budget = used >= budget ? 0 : budget - used;
        }
        if (budget == 0) return;
    }
}

GLuint kvRenderGL::liveName(kvTextureIndex index) const
{
    if (index.id <= 0 || static_cast<size_t>(index.id) > textureNames.size()) return 0;
    return textureNames[static_cast<size_t>(index.id - 1)];
}

bool kvRenderGL::setTextureModifier(kvTextureIndex index, kvTextureModifier* modifier)
{
    kvTexture* t = textures.get(index);
    if (!t) {
        // Nobody else will free it.
        delete modifier;
        return false;
    }
    t->setModifier(modifier);
    return true;
}

void kvRenderGL::deleteTexture(kvTextureIndex index)
{
    GLuint name = liveName(index);
    if (name == 0) return; // dead already: its old name may be someone else's now
    focusLater.erase(index);
    const kvTexture* t = textures.get(index);
    // The storage is kept for the next texture of its size (never reached
    // through this index again): a new one costs the driver an allocation
    // in the frame, and llvmpipe's heap grows with every texture made and
    // deleted. One of a picture's size is kept, and apart from it a few
    // small ones (a slide's blurred copy, deleted after its picture, once
    // pushed the picture's out, and every later switch allocated anew).
    const Spare spare = {name, t->getBufferWidth(), t->getBufferHeight(),
                         static_cast<GLenum>(t->getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB)};
    auto small = [](const Spare& s) { return static_cast<long long>(s.width) * s.height < kSmallestLargeSpare; };
    auto letGo = [&](bool ofSmall, size_t keep) {
        size_t n = 0;
        for (const Spare& s : spares) n += small(s) == ofSmall;
        for (auto it = spares.begin(); it != spares.end() && n > keep;) {
            if (small(*it) != ofSmall) {
                ++it;
                continue;
            }
            glDeleteTextures(1, &it->name);
            it = spares.erase(it);
            --n;
        }
    };
    spares.push_back(spare);
    letGo(small(spare), small(spare) ? kSmallSpares : kSpareTextures);
    textures.remove(index);
    textureNames[static_cast<size_t>(index.id - 1)] = 0;
}

void kvRenderGL::bindTexture(kvTextureIndex index)
{
    // A dead or unknown index draws untextured, never through a stale name.
    glBindTexture(GL_TEXTURE_2D, liveName(index));
    boundTexture = index;
}

void kvRenderGL::refreshTexture(kvTextureIndex index)
{
    kvTexture* t = textures.get(index);
    if (!t || !t->getPixels()) return;
    if (t->getModifier()) t->getModifier()->apply();
    GLenum format = t->getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB;
    glBindTexture(GL_TEXTURE_2D, liveName(index));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), t->getBufferWidth(),
                 t->getBufferHeight(), 0, format, GL_UNSIGNED_BYTE, t->getPixels());
    glBindTexture(GL_TEXTURE_2D, 0);
}

bool kvRenderGL::releaseTextureData(kvTextureIndex index)
{
    kvTexture* t = textures.get(index);
    return t ? t->release() : false;
}

} // namespace Korvell

namespace Korvell {

kvClipIndex kvRenderGL::openClip(const kvClipRequest& request, std::string* reason)
{
    if (!clipMaker) {
        if (reason) *reason = "clips cannot be decoded here";
        return kvClipIndex();
    }
    // Decoded at most as large as the clip can appear, as a picture is.
    const kvPictureRequest size = requestFor(request.fileName, request.shownSpan, false, false);
    kvClipStream::Options options;
    options.file = request.fileName;
    options.start = request.trimStart;
    options.maxWidth = size.neededWidth;
    options.maxHeight = size.neededHeight;
    options.blurred = request.blurred;
    options.exact = clipsExact;
    std::unique_ptr<Clip> clip(new Clip());
    clip->stream.reset(new kvClipStream(clipMaker, options));
    clips.push_back(std::move(clip));
    return kvClipIndex(static_cast<int32_t>(clips.size()));
}

kvClipStream* kvRenderGL::clipStream(kvClipIndex index) const
{
    if (index.id <= 0 || static_cast<size_t>(index.id) > clips.size()) return nullptr;
    const std::unique_ptr<Clip>& c = clips[static_cast<size_t>(index.id - 1)];
    return c ? c->stream.get() : nullptr;
}

long long kvRenderGL::clipFrameShown(kvClipIndex index) const
{
    if (index.id <= 0 || static_cast<size_t>(index.id) > clips.size()) return 0;
    const std::unique_ptr<Clip>& c = clips[static_cast<size_t>(index.id - 1)];
    return c ? c->shown : 0;
}

void kvRenderGL::showClipPicture(const kvTexture& picture, kvTextureIndex& index)
{
    const kvTexture* now = textures.get(index);
    if (!now || now->getBufferWidth() != picture.getBufferWidth() || now->getBufferHeight() != picture.getBufferHeight()) {
        if (index) deleteTexture(index);
        // The texture keeps the frame's sizes, not its pixels: each frame
        // goes up from the clip's own buffer.
        kvTexture* sized = new kvTexture();
        sized->createBuffer(picture.getWidth(), picture.getHeight(), picture.getBytesPerPixel() * 8,
                            picture.getBufferWidth(), picture.getBufferHeight(), false);
        sized->release();
        sized->setOpaque(picture.isOpaque());
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        const GLenum format = picture.getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB;
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), picture.getBufferWidth(), picture.getBufferHeight(),
                     0, format, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        index = textures.add(sized);
        textureNames.push_back(name);
    }
    glBindTexture(GL_TEXTURE_2D, liveName(index));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, picture.getBufferWidth(), picture.getBufferHeight(),
                    picture.getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, picture.getPixels());
    glBindTexture(GL_TEXTURE_2D, liveName(boundTexture));
}

kvTextureIndex kvRenderGL::clipFrame(kvClipIndex index, double seconds, kvTextureIndex* blurred)
{
    if (blurred) *blurred = kvTextureIndex();
    if (index.id <= 0 || static_cast<size_t>(index.id) > clips.size()) return kvTextureIndex();
    Clip* c = clips[static_cast<size_t>(index.id - 1)].get();
    if (!c) return kvTextureIndex();
    const kvClipFrame* frame = c->stream->frameAt(seconds);
    if (!frame || !frame->picture) return kvTextureIndex();
    if (frame->serial != c->shown) {
        showClipPicture(*frame->picture, c->picture);
        if (frame->blurred) showClipPicture(*frame->blurred, c->blurred);
        c->shown = frame->serial;
    }
    if (blurred) *blurred = c->blurred;
    return c->picture;
}

void kvRenderGL::prepareClip(kvClipIndex index, double seconds)
{
    if (index.id <= 0 || static_cast<size_t>(index.id) > clips.size()) return;
    Clip* c = clips[static_cast<size_t>(index.id - 1)].get();
    if (!c || c->shown) return;
    const kvClipFrame* frame = c->stream->frameAt(seconds, false);
    if (!frame || !frame->picture) return;
    showClipPicture(*frame->picture, c->picture);
    if (frame->blurred) showClipPicture(*frame->blurred, c->blurred);
    c->shown = frame->serial;
}

void kvRenderGL::closeClip(kvClipIndex index)
{
    if (index.id <= 0 || static_cast<size_t>(index.id) > clips.size()) return;
    std::unique_ptr<Clip>& c = clips[static_cast<size_t>(index.id - 1)];
    if (!c) return;
    if (c->picture) deleteTexture(c->picture);
    if (c->blurred) deleteTexture(c->blurred);
    c.reset();
}

bool kvRenderGL::clipProblem(kvClipIndex index, std::string* reason) const
{
    const kvClipStream* stream = clipStream(index);
    return stream && stream->failed(reason);
}

} // namespace Korvell
