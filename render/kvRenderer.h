// The drawing interface of the player, the credits and the texture
// modifiers. It owns every texture and font, handed out as 1-based indexes
// that are never reused (0 means none); a deleted texture's index stays
// dead, and any call on it leaves the GL alone. The view is a fixed logical
// rectangle, y downwards, stretched over the whole client area. All GL
// state goes through here, the texture matrix of pan and zoom included.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image/kvClipDecoder.h"
#include "image/kvTextureContainer.h"
#include "math/kvRegion.h"
#include "math/vector2.h"
#include "math/vector3.h"
#include "math/vector4.h"

namespace Korvell {

class kvDataFile;
class kvTextureModifier;

// The one handle anybody outside the renderer holds for a font.
using kvFontIndex = kvHandle<struct kvFontKind>;

// A picture the show will want soon, and the largest it will be seen: the
// span it covers on the screen in view units (the image area times the
// slide's largest zoom). A span of 0 x 0 asks for the full size.
struct kvPreloadRequest {
    std::string fileName;
    int filter = 1;
    vector2 shownSpan;
    bool blurred = false; // its blurred copy is wanted too
    bool focus = false;   // its focus is looked for too
};

// A clip to show: the part of it played, and the span it covers on the
// screen (as for a picture).
struct kvClipRequest {
    std::string fileName;
    double trimStart = 0.0;
    vector2 shownSpan;
    bool blurred = false; // a blurred copy of its frames is wanted too
};

class kvRenderer {
public:
    kvRenderer();
    virtual ~kvRenderer();

    virtual void clear() = 0;
    // The viewport is the client area the caller draws into.
    virtual void setupView(int clientWidth, int clientHeight) = 0;
    virtual void setColorRGBA(vector4 color) = 0;
    virtual void setColorRGB(vector3 color) = 0;
    virtual void drawQuad(vector2 a, vector2 b) = 0;
    virtual void pushMatrix() = 0;
    virtual void popMatrix() = 0;
    virtual void translate(vector2 v) = 0;
    virtual void scale(vector2 v) = 0;
    // A column-major 4 x 4 texture matrix; nullptr loads the identity.
    virtual void setTextureMatrix(const float* matrix) = 0;
    virtual kvTextureIndex createTexture(int width, int height, int bitsPerPixel, int filter) = 0;
    // A picture from a file; 0 when it cannot be shown, with the reason
    // (and shown, with `reason` set, when a colour profile was passed over).
    // Given the span it is seen at, a large picture is decoded only as
    // large as it can appear; one preloaded comes ready. With `blurred`,
    // its small blurred, darkened copy too (0 when it cannot be made).
    virtual kvTextureIndex loadTexture(const std::string& fileName, int filter, vector2 shownSpan = vector2(),
                                       std::string* reason = nullptr, kvTextureIndex* blurred = nullptr) = 0;
    // A texture's picture size in pixels and its share of the buffer (the
    // far texture coordinates); false for an unknown or dead index.
    virtual bool textureSize(kvTextureIndex index, int* width, int* height, float* u, float* v) const;
    // Whether a texture covers every pixel it is drawn on (no alpha below
    // full); false for an unknown or dead index.
    virtual bool textureOpaque(kvTextureIndex index) const;
    // Whether the next loadTexture looks for the picture's focus (a slide
    // whose focus is `auto`), and what was found for a texture: false when
    // nothing was (not looked for, or an unknown index).
    void setFocusWanted(bool wanted) { focusWanted = wanted; }
    virtual bool textureFocus(kvTextureIndex index, kvRegion* region) const;
    // The pictures wanted soon, nearest first; asked every frame. They are
    // decoded on a worker thread and uploaded a slice per frame, so that
    // their loadTexture costs the frame neither.
    virtual void preloadTextures(const std::vector<kvPreloadRequest>& wanted) = 0;
    // Sets aside storage for `count` more textures of the size of the last
    // picture loaded, before a show begins, so that no frame of it pays
    // for making a texture (the show recycles its textures from then on).
    virtual void reserveTextures(int count) = 0;
    // Forgets every picture decoded ahead: the files may have changed (a
    // show read again).
    virtual void dropPreloads() = 0;
    virtual bool setTextureModifier(kvTextureIndex index, kvTextureModifier* modifier) = 0;
    virtual void deleteTexture(kvTextureIndex index) = 0;
    virtual void bindTexture(kvTextureIndex index) = 0;
    virtual void refreshTexture(kvTextureIndex index) = 0;
    virtual kvFontIndex createFont(const std::string& face, bool bold, bool italic) = 0;
    virtual void drawText(kvFontIndex font, const std::string& text) = 0;
    virtual void deleteFont(kvFontIndex font) = 0;
    virtual bool measureText(kvFontIndex font, const std::string& text, vector2* size) = 0;
    virtual bool findLineBreak(kvFontIndex font, const std::string& text, float scale, float margin,
                               int* position) = 0;
    virtual bool releaseTextureData(kvTextureIndex index) = 0;

    // Clips. Opened ahead of their slide, a clip's first frames are
    // decoded on a worker from its trimmed start; 0 when it cannot be
    // opened, with the reason. A renderer without clips opens none.
    virtual kvClipIndex openClip(const kvClipRequest& request, std::string* reason);
    // The clip's texture showing the frame due at clip time `seconds`: the
    // last one at or before it (the first before it begins, the last after
    // it ends), with its blurred copy when asked for. Live, the newest
    // frame decoded that is due (a late frame is dropped, the clock never
    // waits); in a render the frame due, waited for.
    virtual kvTextureIndex clipFrame(kvClipIndex clip, double seconds, kvTextureIndex* blurred = nullptr);
    // Before its slide: the clip's first frame put in its texture once it
    // is decoded (never waited for), so that the slide's first frame only
    // changes what the texture holds.
    virtual void prepareClip(kvClipIndex clip, double seconds);
    virtual void closeClip(kvClipIndex clip);
    // Whether the clip failed (it cannot be opened or decoded), and why.
    virtual bool clipProblem(kvClipIndex clip, std::string* reason) const;

    // One frame of a scene: cleared, the view set up for the client size,
    // the scene drawn; what the scene says (false: it is over). The live
    // loop and the video render draw every frame through here.
    bool drawFrame(int clientWidth, int clientHeight, const std::function<bool()>& scene)
    {
        clear();
        setupView(clientWidth, clientHeight);
        return scene();
    }

    // Where pictures are read from: the show's archive while it has one
    // (null: the disk).
    void setPictureArchive(const kvDataFile* archive) { pictureArchive = archive; }
    const kvDataFile* getPictureArchive() const { return pictureArchive; }

    void setClearColor(vector3 color) { clearColor = color; }
    vector3 getClearColor() const { return clearColor; }
    void setViewSize(float w, float h)
    {
        viewWidth = w;
        viewHeight = h;
    }
    void getViewSize(float* w, float* h) const
    {
        if (w) *w = viewWidth;
        if (h) *h = viewHeight;
    }
    // The client size of the last setupView (0 before one): view units
    // times it over the view size are pixels on the screen.
    int getClientWidth() const { return viewClientWidth; }
    int getClientHeight() const { return viewClientHeight; }

protected:
    vector3 clearColor;
    float viewWidth;
    float viewHeight;
    kvTextureIndex boundTexture;
    int viewClientWidth = 0;
    int viewClientHeight = 0;
    kvTextureContainer textures;
    bool focusWanted = false;
    const kvDataFile* pictureArchive = nullptr;
};

} // namespace Korvell
