// The OpenGL 1.1 renderer: immediate mode, fixed-function, one to a dozen
// GL calls per operation. Must be created and destroyed with the context
// current. A texture's GL name is forgotten when it is deleted, so a dead
// index can never reach a name GL has since given to a live texture.
#pragma once

#include <GL/gl.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "image/kvClipStream.h"
#include "image/kvPreloader.h"
#include "render/kvRenderer.h"

namespace Korvell {

class kvFont;
class kvGlyphAtlas;

class kvRenderGL : public kvRenderer {
public:
    kvRenderGL();
    ~kvRenderGL() override;

    void clear() override;
    bool textureFocus(kvTextureIndex index, kvRegion* region) const override;
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
    kvClipIndex openClip(const kvClipRequest& request, std::string* reason) override;
    kvTextureIndex clipFrame(kvClipIndex clip, double seconds, kvTextureIndex* blurred = nullptr) override;
    void prepareClip(kvClipIndex clip, double seconds) override;
    void closeClip(kvClipIndex clip) override;
    bool clipProblem(kvClipIndex clip, std::string* reason) const override;

    // Where clips' decoders come from (the FFmpeg module); without one, no
    // clip opens.
    void setClipMaker(const kvClipStream::Maker& maker) { clipMaker = maker; }
    // A render waits for each clip frame due, and for a picture's focus the
    // worker is finding; a live show never does.
    void setClipsExact(bool exact) { clipsExact = exact; }
    // Tests and benches: a clip's stream (null for an unknown index), and
    // the serial of its frame now in its texture (0: none yet).
    kvClipStream* clipStream(kvClipIndex clip) const;
    long long clipFrameShown(kvClipIndex clip) const;

    // Bytes of picture uploaded ahead per frame at most.
    static constexpr size_t kUploadSliceBytes = 1u << 20;
    // The decoding worker (made on first use; tests hold it to make a
    // picture late).
    kvPreloader* getPreloader();
    // Whether a picture asked for ahead is decoded and uploaded.
    bool isReadyAhead(const std::string& fileName) const;
    // Tests: how many rows of a picture decoded ahead are uploaded (-1:
    // not decoded ahead; INT_MAX: all), the upload budget of a frame, and
    // a texture's GL storage read back whole.
    int rowsUploadedAhead(const std::string& fileName) const;
    void setUploadSliceBytes(size_t bytes) { uploadSliceBytes = bytes; }
    bool readTexels(kvTextureIndex index, std::vector<uint8_t>& texels) const;
    // Clears a whole window of the given size, for windows drawn without a
    // renderer (the setup dialog, the error box).
    static void clearWindow(int width, int height, vector3 color);

private:
    // A picture decoded ahead: its GL texture filled a slice at a time.
    struct Prepared {
        kvPictureRequest request;
        int filter = 1;
        std::unique_ptr<kvTexture> texture; // null: it cannot be shown
        std::unique_ptr<kvTexture> blurred; // its blurred copy, when asked for
        std::string reason;
        GLuint name = 0;
        int rowsUploaded = 0;
    };

    // An open clip: its stream, and the textures its frames are shown in.
    struct Clip {
        std::unique_ptr<kvClipStream> stream;
        kvTextureIndex picture;
        kvTextureIndex blurred;
        long long shown = 0; // the serial of the frame now in the textures
    };

    // A deleted texture's GL storage, kept for reuse.
    struct Spare {
        GLuint name;
        int width;
        int height;
        GLenum format;
    };
    static constexpr size_t kSpareTextures = 1; // of a picture's size
    static constexpr size_t kSmallSpares = 4;
    static constexpr long long kSmallestLargeSpare = 256 * 256; // texels

    kvFont* fontOf(kvFontIndex font) const;
    kvTextureIndex registerTexture(kvTexture* texture, int filter);
    GLuint storageFor(const kvTexture* texture, int filter);
    GLuint upload(kvTexture* texture, int filter);
    kvPictureRequest requestFor(const std::string& fileName, vector2 shownSpan, bool blurred, bool focus) const;
    // The picture of a request: ready ahead, decoded ahead, or decoded here.
    kvTextureIndex loadPicture(const kvPictureRequest& request, int filter, std::string* reason,
                               kvTextureIndex* blurred);
    // Textures decoded in the frame whose focus the worker is finding.
    mutable std::map<kvTextureIndex, std::pair<std::string, const kvDataFile*>> focusLater;
    int clears = 0; // frames begun; focus jobs wait for the first to be drawn
    // Uploads up to `bytes` more of the picture; true once all is up.
    bool uploadSlice(Prepared& p, size_t bytes);
    // The picture's index (and its blurred copy's in `blurred`).
    kvTextureIndex registerPrepared(Prepared& p, kvTextureIndex* blurred);
    // The GL name of a live texture, or 0 for a dead or unknown index.
    GLuint liveName(kvTextureIndex index) const;
    // A clip frame's picture into `index` (a new texture of its size when
    // the index is 0 or of another size).
    void showClipPicture(const kvTexture& picture, kvTextureIndex& index);

    // Texture n's GL name at position n - 1; 0 once the texture is deleted.
    std::vector<GLuint> textureNames;
    std::vector<std::unique_ptr<kvFont>> fonts; // font n at n - 1; null once deleted
    std::unique_ptr<kvGlyphAtlas> atlas;
    std::unique_ptr<kvPreloader> preloader;
    std::vector<Prepared> prepared;
    std::vector<std::unique_ptr<Clip>> clips; // clip n at n - 1; null once closed
    kvClipStream::Maker clipMaker;
    bool clipsExact = false;
    std::vector<Spare> spares;
    Spare lastLoaded = {0, 0, 0, 0};
    size_t uploadSliceBytes = kUploadSliceBytes;
    // The alpha of the colour last set, which drawQuad uses to skip work.
    float colorAlpha = 1.0f;
    // Whether the window stores sRGB, so text can be blended in linear light.
    bool srgbFramebuffer = false;
};

} // namespace Korvell
