// The show: the slides in script order, the look set by the script, and
// once per frame the timeline (which slide is current and which leaving),
// the transition opacities, the pictures, the noise overlay and the
// subtitles. Time is the clock it is given; the player never counts frames.
// It draws only through the renderer it is given, and tells its owner that
// the show is over (isOver) rather than posting anything itself.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "image/kvTextureContainer.h"
#include "render/kvRenderer.h"
#include "math/vector2.h"
#include "math/vector3.h"
#include "player/kvPlayerItem.h"
#include "sound/kvPlaylist.h"

namespace Korvell {

class kvClock;
class kvTextureModifier;
class kvRenderer;

class kvPlayer {
public:
    kvPlayer(kvRenderer& renderer, kvClock& clock);
    ~kvPlayer();

    // Configuration, called by the script's element handlers.
    void setImageAreaPos(vector2 pos) { imageAreaPos = pos; }
    void setImageAreaSize(vector2 size) { imageAreaSize = size; }
    void setViewSize(vector2 size);
    void setBackground(vector3 color);
    void setImageColor(vector3 color) { imageColor = color; }
    // The show's fit (kvFit), for slides that name none.
    void setFit(int mode) { defaultFit = mode; }
    int getFit() const { return defaultFit; }
    int fitOf(const kvPlayerItem* item) const { return item->fit >= 0 ? item->fit : defaultFit; }
    // The show's focus, for slides that name none; a slide's in force.
    void setFocus(const kvFocus& focus) { defaultFocus = focus; }
    const kvFocus& getFocus() const { return defaultFocus; }
    const kvFocus& focusOf(const kvPlayerItem* item) const
    {
        return item->focus.mode >= 0 ? item->focus : defaultFocus;
    }
    void setNoiseAlpha(float alpha);
    void createNoise(int width, int height, kvTextureModifier* modifier, int filter);
    void setSubtitleY(float v) { subtitleY = v; }
    void setSubtitleScale(float v) { subtitleScale = v; }
    void setSubtitleDelay(float v) { subtitleDelay = v; }
    void setSubtitleMargin(float v) { subtitleMargin = v; }
    void setSubtitleColor(vector3 c) { subtitleColor = c; }
    void setSubtitleCenter(bool c) { subtitleCenter = c; }
    void setSubtitleEffect(int code, float time);
    void addFont(const std::string& face, bool bold, bool italic);
    kvPlayerItem* addImage(const std::string& fileName, float time, int transition,
                           float transitionTime, bool reset);
    // The clips' sounds, where the show plays them: from their slide's
    // start, for the trimmed clip or the slide, whichever is shorter.
    std::vector<kvClipSound> clipSounds() const;
    // A clip's slide: a picture's, its frames from the clip's part.
    kvPlayerItem* addClip(const std::string& fileName, float time, int transition, float transitionTime, bool reset,
                          const kvClipPart& part);
    void addBlank(float time, int transition, float transitionTime);
    int getItemCount() const { return static_cast<int>(items.size()); }
    void addSubtitleLine(int number, std::string text);

    // Used by the entry function.
    bool loadItemTexture(unsigned index);
    // After the first pictures are loaded: GL storage set aside for the
    // pictures decoded ahead before the show recycles its first texture.
    void reserveTextureStorage();
    // Before the first frame of a show that begins at `start` (0: from the
    // first slide): its first pictures loaded, storage set aside.
    void prepare(float start);
    void update();
    // Set by the last update when the clock has passed the end of the show
    // (the second-to-last slide's end time), or when there is no slide.
    bool isOver() const { return over; }
    // Where a picture that cannot be shown is reported (the parse log),
    // once per file, when the show first tries it.
    void setProblemReporter(std::function<void(const std::string&)> reporter) { reportProblem = reporter; }
    // The largest a slide's picture is seen, in view units: the image area
    // times the largest zoom its pan and zoom reach, played or stepped back
    // to (pans move the picture but never enlarge it).
    vector2 shownSpan(const kvPlayerItem* item) const;
    // The transition in force as slide `index` enters (the last one a
    // slide up to it named).
    void transitionInto(unsigned index, int* type, float* time) const;
    // When the show ends: the second-to-last slide's end time (a lone
    // slide's own; 0 without slides).
    float getShowEnd() const;
    // Starts the show at clock time t (a show begun later than 0 s, or read
    // again while it plays): the slide showing at t becomes current, the
    // one before it leaving, their pictures loaded, as if the show had
    // played up to t.
    void seekTo(float t);
    // Previous Image: honoured (or dropped) by the next update.
    void requestPrevious() { previousRequested = true; }
    bool isPreviousRequested() const { return previousRequested; }

    // Steps of a frame, public so that tests can drive them one by one.
    void advance(float& t);
    void updateTransition(float t);
    void drawSubtitles(float t);
    void applyTypewriter(float x, std::string& text, float charTime);

    // Read-only views for tests and the subtitle code.
    kvPlayerItem* getItem(unsigned i) const { return i < items.size() ? items[i] : nullptr; }
    kvPlayerItem* getCurrent() const { return current; }
    kvPlayerItem* getPrevious() const { return previous; }
    unsigned getNextIndex() const { return nextIndex; }
    float getCurrentAlpha() const { return currentAlpha; }
    float getPreviousAlpha() const { return previousAlpha; }
    int getTransitionType() const { return transitionType; }
    float getTransitionTime() const { return transitionTime; }
    const std::vector<kvTextureIndex>& getLoadedTextures() const { return loadedTextures; }
    const std::vector<kvFontIndex>& getFonts() const { return fonts; }
    kvTextureIndex getNoiseTexture() const { return noiseTexture; }
    float getNoiseAlpha() const { return noiseAlpha; }
    vector2 getImageAreaPos() const { return imageAreaPos; }
    vector2 getImageAreaSize() const { return imageAreaSize; }
    vector3 getImageColor() const { return imageColor; }
    float getSubtitleY() const { return subtitleY; }
    float getSubtitleScale() const { return subtitleScale; }
    float getSubtitleDelay() const { return subtitleDelay; }
    float getSubtitleMargin() const { return subtitleMargin; }
    vector3 getSubtitleColor() const { return subtitleColor; }
    bool getSubtitleCenter() const { return subtitleCenter; }
    int getSubtitleEffect() const { return subtitleEffect; }
    float getTypewriterTime() const { return typewriterTime; }

private:
    kvPlayer(const kvPlayer&) = delete;
    kvPlayer& operator=(const kvPlayer&) = delete;
    void takeTransition(const kvPlayerItem* item);
    void computeMatrix(float t);
    // Where a slide's picture is drawn at progress p, and with what texture
    // matrices, for its fit.
    void place(kvPlayerItem* item, float p);
    // The slide's picture (over its blurred copy for a "blur" fit).
    void drawPicture(const kvPlayerItem* item, float alpha, bool leaving);
    void drawBackdrop(const kvPlayerItem* item);
    void preloadUpcoming();
    // Clips: the clip time of a slide at clock time t; opened (once; a
    // clip that failed is not tried again); its frame at a clip time put
    // in the slide's textures; closed; each frame, those shown follow the
    // clock and those far from the current slide close.
    double clipSeconds(const kvPlayerItem* item, float t) const;
    bool openClip(kvPlayerItem* item);
    bool showClipAt(kvPlayerItem* item, double seconds);
    void closeClip(kvPlayerItem* item);
    void reportClip(kvPlayerItem* item, const std::string& reason);
    void updateClips(float t);

    kvRenderer& renderer;
    kvClock& clock;
    std::vector<kvPlayerItem*> items;
    unsigned nextIndex;
    vector2 imageAreaPos;
    vector2 imageAreaSize;
    float subtitleY;
    float subtitleScale;
    float subtitleDelay;
    float subtitleMargin;
    vector3 subtitleColor;
    bool subtitleCenter;
    int transitionType;
    float transitionTime;
    float typewriterTime;
    int subtitleEffect;
    kvTextureIndex noiseTexture;
    float noiseAlpha;
    vector3 noiseColor;
    std::vector<kvTextureIndex> loadedTextures;
    // The blurred copies, beside loadedTextures (0 where there is none).
    std::vector<kvTextureIndex> loadedBlurs;
    int defaultFit = 0;
    static constexpr float kFocusEase = 0.5f; // seconds a late focus takes to come in
    kvFocus defaultFocus = {FOCUS_NONE, kvRegion()};
    std::vector<kvFontIndex> fonts;
    vector3 imageColor;
    kvPlayerItem* current;
    kvPlayerItem* previous;
    float currentAlpha;
    float previousAlpha;
    float runningTime;
    bool previousRequested;
    bool over;
    std::function<void(const std::string&)> reportProblem;
    std::set<std::string> reported;
    std::vector<kvPlayerItem*> openClips;
    std::set<std::string> failedClips;
};

} // namespace Korvell
