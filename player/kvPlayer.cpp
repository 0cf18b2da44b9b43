// Slides, timeline, transitions and drawing of one frame.
#include "player/kvPlayer.h"

#include <algorithm>
#include <cmath>

#include "base/kvQuote.h"
#include "image/kvTextureModifier.h"
#include "math/vector4.h"
#include "player/kvClock.h"
#include "player/kvFit.h"
#include "player/kvTransitions.h"
#include "render/kvRenderer.h"

namespace Korvell {

kvPlayer::kvPlayer(kvRenderer& renderer_, kvClock& clock_)
    : renderer(renderer_), clock(clock_), nextIndex(0), imageAreaPos(0.0f, 0.0f), imageAreaSize(0.0f, 0.0f), subtitleY(0.0f),
      subtitleScale(1.0f), subtitleDelay(0.0f), subtitleMargin(0.0f),
      subtitleColor(1.0f, 1.0f, 1.0f), subtitleCenter(false), transitionType(TRANSITION_NONE),
      transitionTime(1.0f), typewriterTime(0.0f), subtitleEffect(EFFECT_NONE),
      noiseAlpha(0.5f), noiseColor(1.0f, 1.0f, 1.0f), imageColor(1.0f, 1.0f, 1.0f),
      current(nullptr), previous(nullptr), currentAlpha(1.0f), previousAlpha(1.0f),
      runningTime(0.0f), previousRequested(false), over(false)
{
}

kvPlayer::~kvPlayer()
{
    for (kvFontIndex& f : fonts) {
        if (f) renderer.deleteFont(f);
        f = kvFontIndex();
    }
    // Evicted textures were zeroed when they went, so each is deleted once.
    for (std::vector<kvTextureIndex>* list : {&loadedTextures, &loadedBlurs})
        for (kvTextureIndex& t : *list) {
            if (t) renderer.deleteTexture(t);
            t = kvTextureIndex();
        }
    for (kvPlayerItem* item : items) {
        if (item->clip) renderer.closeClip(item->clip);
        delete item;
    }
    items.clear();
    // The noise texture too (the renderer would only free it at its own
    // end, and a show read again makes a new one).
    if (noiseTexture) renderer.deleteTexture(noiseTexture);
}

void kvPlayer::setViewSize(vector2 size) { renderer.setViewSize(size.x, size.y); }

void kvPlayer::setBackground(vector3 color) { renderer.setClearColor(color); }

void kvPlayer::setNoiseAlpha(float alpha) { noiseAlpha = alpha > 1.0f ? 1.0f : alpha; }

void kvPlayer::createNoise(int width, int height, kvTextureModifier* modifier, int filter)
{
    if (noiseTexture) {
        delete modifier; // nobody else would free an unused modifier
        return;
    }
    noiseTexture = renderer.createTexture(width, height, 24, filter);
    if (!noiseTexture) {
        delete modifier;
        return;
    }
    renderer.setTextureModifier(noiseTexture, modifier);
}

void kvPlayer::setSubtitleEffect(int code, float time)
{
    subtitleEffect = code;
    typewriterTime = time;
}

void kvPlayer::addFont(const std::string& face, bool bold, bool italic)
{
    fonts.push_back(renderer.createFont(face, bold, italic));
}

kvPlayerItem* kvPlayer::addClip(const std::string& fileName, float time, int transition, float transitionTime_,
                               bool reset, const kvClipPart& part)
{
    kvPlayerItem* item = addImage(fileName, time, transition, transitionTime_, reset);
    item->clipPart = part;
    item->clipPart.isClip = true;
    return item;
}

std::vector<kvClipSound> kvPlayer::clipSounds() const
{
    std::vector<kvClipSound> sounds;
    for (const kvPlayerItem* item : items) {
        const kvClipPart& part = item->clipPart;
        if (!part.isClip || !part.sound || part.volume <= 0.0f || item->fileName.empty()) continue;
        kvClipSound s;
        s.file = item->fileName;
        s.start = std::max(0.0, static_cast<double>(item->endTime) - static_cast<double>(item->duration));
        s.from = part.trimStart;
        s.seconds = std::min(part.length, static_cast<double>(item->duration));
        s.volume = part.volume;
        s.duck = part.duck;
        if (s.seconds > 0.0) sounds.push_back(s);
    }
    return sounds;
}

double kvPlayer::clipSeconds(const kvPlayerItem* item, float t) const
{
    // The clip starts when its slide does, as its entering transition does.
    const double begins = static_cast<double>(item->endTime) - static_cast<double>(item->duration);
    return item->clipPart.clipTime(static_cast<double>(t) - begins);
}

bool kvPlayer::openClip(kvPlayerItem* item)
{
    if (item->clip) return true;
    if (item->fileName.empty() || failedClips.count(item->fileName)) return false;
    kvClipRequest request;
    request.fileName = item->fileName;
    request.trimStart = item->clipPart.trimStart;
    request.shownSpan = shownSpan(item);
    request.blurred = fitOf(item) == FIT_BLUR;
    std::string reason;
    item->clip = renderer.openClip(request, &reason);
    if (!item->clip) {
        reportClip(item, reason);
        return false;
    }
    openClips.push_back(item);
    return true;
}

void kvPlayer::reportClip(kvPlayerItem* item, const std::string& reason)
{
    failedClips.insert(item->fileName);
    if (reportProblem && reported.insert(item->fileName).second)
        reportProblem("Clip " + quoted(item->fileName) + " cannot be shown: " + reason + ".");
}

bool kvPlayer::showClipAt(kvPlayerItem* item, double seconds)
{
    if (!openClip(item)) {
        item->texture = item->blurTexture = kvTextureIndex();
        return false;
    }
    item->texture = renderer.clipFrame(item->clip, seconds, &item->blurTexture);
    std::string reason;
    if (!item->texture && renderer.clipProblem(item->clip, &reason)) {
        // Shown as a missing picture is: nothing, the show going on.
        reportClip(item, reason);
        closeClip(item);
        return false;
    }
    return item->texture != kvTextureIndex();
}

void kvPlayer::closeClip(kvPlayerItem* item)
{
    if (!item->clip) return;
    renderer.closeClip(item->clip);
    item->clip = kvClipIndex();
    item->texture = item->blurTexture = kvTextureIndex();
    openClips.erase(std::remove(openClips.begin(), openClips.end(), item), openClips.end());
}

void kvPlayer::updateClips(float t)
{
    // The clips of the slides shown now follow the clock; the slides near
    // them keep theirs open (decoded ahead, or to go back to); the rest go.
    for (kvPlayerItem* item : {current, previous})
        if (item && item->clipPart.isClip) showClipAt(item, clipSeconds(item, t));
    std::vector<kvPlayerItem*> open = openClips;
    for (kvPlayerItem* item : open) {
        if (item == current || item == previous) continue;
        bool near = false;
        for (size_t k = nextIndex; k < nextIndex + 2 && k < items.size(); ++k) near = near || items[k] == item;
        if (!near) closeClip(item);
    }
}

kvPlayerItem* kvPlayer::addImage(const std::string& fileName, float time, int transition,
                                 float transitionTime_, bool reset)
{
    runningTime = reset ? time : runningTime + time;
    kvPlayerItem* item = new kvPlayerItem(runningTime, fileName, kvTextureIndex(), transition, transitionTime_);
    item->duration = time;
    items.push_back(item);
    return item;
}

void kvPlayer::addBlank(float time, int transition, float transitionTime_)
{
    runningTime += time;
    kvPlayerItem* item = new kvPlayerItem(runningTime, std::string(), kvTextureIndex(), transition, transitionTime_);
    item->duration = time;
    items.push_back(item);
}

void kvPlayer::addSubtitleLine(int number, std::string text)
{
    if (number >= 1 && number <= getItemCount()) items[static_cast<size_t>(number - 1)]->lines.push_back(std::move(text));
}

bool kvPlayer::loadItemTexture(unsigned index)
{
    if (index >= items.size()) return false;
    // At most three slide textures (plus slide 0's) stay resident. The
    // entry keeps its place in the list but forgets the index it deleted.
    if (loadedTextures.size() > 3) {
        for (std::vector<kvTextureIndex>* list : {&loadedTextures, &loadedBlurs}) {
            kvTextureIndex& evicted = (*list)[list->size() - 3];
            if (evicted) renderer.deleteTexture(evicted);
            evicted = kvTextureIndex();
        }
    }
    kvPlayerItem* item = items[index];
    if (item->fileName.empty() || item->clipPart.isClip) {
        // A clip's frames come from its own textures, never evicted here.
        loadedTextures.push_back(kvTextureIndex());
        loadedBlurs.push_back(kvTextureIndex());
        return item->clipPart.isClip ? showClipAt(item, clipSeconds(item, clock.elapsed())) : true;
    }
    std::string reason;
    kvTextureIndex blur;
    renderer.setFocusWanted(focusOf(item).mode == FOCUS_AUTO);
    item->drawnWithoutFocus = false;
    item->focusCameAt = -1.0f;
    kvTextureIndex texture = renderer.loadTexture(item->fileName, 1, shownSpan(item), &reason,
                                                  fitOf(item) == FIT_BLUR ? &blur : nullptr);
    if (!texture) {
        if (reportProblem && reported.insert(item->fileName).second)
            reportProblem("Picture " + quoted(item->fileName) + " cannot be shown: " + reason + ".");
        return false;
    }
    // Shown, with something passed over (a colour profile that cannot be used).
    if (!reason.empty() && reportProblem && reported.insert(item->fileName).second)
        reportProblem("Picture " + quoted(item->fileName) + ": " + reason + ".");
    renderer.releaseTextureData(texture);
    if (blur) renderer.releaseTextureData(blur);
    item->texture = texture;
    item->blurTexture = blur;
    loadedTextures.push_back(texture);
    loadedBlurs.push_back(blur);
    return true;
}

void kvPlayer::reserveTextureStorage()
{
    // Until the fourth texture is loaded nothing is evicted, so each
    // picture decoded ahead meanwhile needs storage of its own: three at
    // most, one a picture the show has yet to load (the last never shows).
    int wanted = 0;
    for (size_t k = nextIndex; k + 1 < items.size() && wanted < 3; ++k)
        if (!items[k]->fileName.empty() && !items[k]->texture) ++wanted;
    renderer.reserveTextures(wanted);
}

void kvPlayer::prepare(float start)
{
    if (start > 0.0f) {
        seekTo(start);
    } else {
        loadItemTexture(0);
        loadItemTexture(1);
    }
    reserveTextureStorage();
}

vector2 kvPlayer::shownSpan(const kvPlayerItem* item) const
{
    // z = startZoom + (zoom - 1) p runs over p from 0 to 1 as the slide
    // plays, and from -1 to 0 after a back step to it: the largest of the
    // three ends. A slide without zoom (0) or a duration is never scaled.
    float z = 1.0f;
    if (item->duration > 0.0f && item->zoomOn())
        z = std::max({std::fabs(item->zoomAt(0.0f)), std::fabs(item->zoomAt(1.0f)), std::fabs(item->zoomAt(-1.0f))});
    return vector2(std::fabs(imageAreaSize.x) * z, std::fabs(imageAreaSize.y) * z);
}

void kvPlayer::seekTo(float t)
{
    if (items.size() < 2) return; // the first frame takes the only slide
    // The slide showing at t: the first whose end lies beyond t and whose
    // predecessor's does not; past the show, the second-to-last (so the
    // show ends at once).
    size_t k = items.size() - 2;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        if (items[i]->endTime > t && (i == 0 || items[i - 1]->endTime <= t)) {
            k = i;
            break;
        }
    }
    transitionInto(static_cast<unsigned>(k), &transitionType, &transitionTime);
    current = items[k];
    previous = k > 0 ? items[k - 1] : nullptr;
    nextIndex = static_cast<unsigned>(k + 1);
    // Past the transition, the leaving slide is gone; inside it, the next
    // update sets both.
    currentAlpha = 1.0f;
    previousAlpha = previous ? 0.0f : 1.0f;
    if (previous) {
        // The leaving slide keeps the matrix of its last frame.
        loadItemTexture(static_cast<unsigned>(k - 1));
        place(previous, 1.0f);
    }
    loadItemTexture(static_cast<unsigned>(k));
}

void kvPlayer::preloadUpcoming()
{
    // The next two slides a step can reach (the last slide never shows).
    std::vector<kvPreloadRequest> wanted;
    for (size_t k = nextIndex; k < nextIndex + 2 && k + 1 < items.size(); ++k) {
        if (items[k]->fileName.empty()) continue;
        if (items[k]->clipPart.isClip) {
            // Its first frames decoded from now on, the first in its texture.
            if (openClip(items[k])) renderer.prepareClip(items[k]->clip, items[k]->clipPart.trimStart);
            continue;
        }
        kvPreloadRequest r;
        r.fileName = items[k]->fileName;
        r.shownSpan = shownSpan(items[k]);
        r.blurred = fitOf(items[k]) == FIT_BLUR;
        r.focus = focusOf(items[k]).mode == FOCUS_AUTO;
        wanted.push_back(r);
    }
    renderer.preloadTextures(wanted);
}

void kvPlayer::transitionInto(unsigned index, int* type, float* time) const
{
    // The show begins with a cut of 1 s in force; a slide that names none
    // keeps the one in force.
    *type = TRANSITION_NONE;
    *time = 1.0f;
    for (unsigned i = 0; i <= index && i < items.size(); ++i) {
        if (items[i]->transitionType == TRANSITION_KEEP) continue;
        *type = items[i]->transitionType;
        *time = items[i]->transitionTime;
    }
}

float kvPlayer::getShowEnd() const
{
    if (items.empty()) return 0.0f;
    return items[items.size() >= 2 ? items.size() - 2 : 0]->endTime;
}

void kvPlayer::takeTransition(const kvPlayerItem* item)
{
    if (item->transitionType == TRANSITION_KEEP) return;
    transitionType = item->transitionType;
    transitionTime = item->transitionTime;
}

void kvPlayer::advance(float& t)
{
    if (items.empty()) {
        // Nothing to show: the show ends at once and the credits follow.
        over = true;
        return;
    }
    if (!current) {
        current = items[nextIndex];
        takeTransition(current);
        ++nextIndex;
        return;
    }
    if (nextIndex + 1 < items.size()) {
        if (current->endTime <= t && items[nextIndex + 1]->endTime > t) {
            previous = current;
            current = items[nextIndex];
            loadItemTexture(nextIndex);
            takeTransition(current);
            ++nextIndex;
        } else if (previousRequested && nextIndex != 0 && previous) {
            // Without a previous slide there is nothing to go back to.
            current = previous;
            if (nextIndex > 1) {
                previous = items[nextIndex - 2];
                loadItemTexture(nextIndex - 2);
                t = nextIndex > 2 ? items[nextIndex - 3]->endTime : 0.0f;
            } else {
                previous = nullptr;
                t = 0.0f;
            }
            takeTransition(current);
            clock.setElapsed(t);
            --nextIndex;
        }
        return;
    }
    if (current->endTime <= t) over = true;
}

void kvPlayer::updateTransition(float t)
{
    if (!previous) return;
    const float s = previous->endTime;
    const float T = transitionTime;
    if (!(s <= t)) return;
    // The first frame at or past the window's end (a window of 0 or less
    // at once) leaves the transition finished, however long the frames
    // inside it took: the entering slide whole, the leaving one gone.
    if (!(t < s + T)) {
        previousAlpha = 0.0f;
        currentAlpha = 1.0f;
        return;
    }
    transitionFor(transitionType).opacities(t - s, T, currentAlpha, previousAlpha);
}

void kvPlayer::computeMatrix(float t)
{
    const float s = previous ? previous->endTime : 0.0f;
    place(current, (t - s) / current->duration);
}

void kvPlayer::place(kvPlayerItem* item, float p)
{
    const vector2 a = imageAreaPos, b = imageAreaPos + imageAreaSize;
    const int mode = fitOf(item);
    int w = 0, h = 0;
    float u = 1.0f, v = 1.0f;
    item->placedA = a;
    item->placedB = b;
    item->fitted = mode != FIT_STRETCH && renderer.textureSize(item->texture, &w, &h, &u, &v);
    if (!item->fitted) {
        // Stretched over the area: the slide's matrix as it always was
        // (left as it is for a slide without a duration).
        if (item->duration > 0.0f) item->computeMatrix(p);
        return;
    }
    // Shapes in screen pixels: view units times the client over the view.
    float viewW = 1.0f, viewH = 1.0f;
    renderer.getViewSize(&viewW, &viewH);
    const float ppuX = renderer.getClientWidth() > 0 && viewW != 0.0f ? renderer.getClientWidth() / viewW : 1.0f;
    const float ppuY = renderer.getClientHeight() > 0 && viewH != 0.0f ? renderer.getClientHeight() / viewH : 1.0f;
    const float areaW = std::fabs(imageAreaSize.x * ppuX), areaH = std::fabs(imageAreaSize.y * ppuY);
    if (!(item->duration > 0.0f)) p = 0.0f;
    const float z = item->zoomOn() ? item->zoomAt(p) : 1.0f;
    const vector2 shift(item->offset.x + item->move.x * p, item->offset.y + item->move.y * p);
    const kvFocus& focus = focusOf(item);
    kvRegion region = focus.mode == FOCUS_REGION ? focus.region : kvRegion();
    if (focus.mode == FOCUS_AUTO) {
        const bool found = renderer.textureFocus(item->texture, &region);
        if (!found) item->drawnWithoutFocus = true;
        if (found && item->drawnWithoutFocus && item->focusCameAt < -0.5f) item->focusCameAt = p;
    }
    kvFitGeometry g = fitGeometry(static_cast<kvFitMode>(mode), areaW, areaH, static_cast<float>(w),
                                  static_cast<float>(h), z, shift.x, shift.y, region);
    const float ease = item->focusCameAt > -0.5f && item->duration > 0.0f
                           ? (p - item->focusCameAt) * item->duration / kFocusEase
                           : 1.0f;
    if (ease < 1.0f) {
        const kvFitGeometry from = fitGeometry(static_cast<kvFitMode>(mode), areaW, areaH, static_cast<float>(w),
                                               static_cast<float>(h), z, shift.x, shift.y);
        const float k = std::max(0.0f, ease);
        g.windowX0 = from.windowX0 + (g.windowX0 - from.windowX0) * k;
        g.windowY0 = from.windowY0 + (g.windowY0 - from.windowY0) * k;
        g.windowX1 = from.windowX1 + (g.windowX1 - from.windowX1) * k;
        g.windowY1 = from.windowY1 + (g.windowY1 - from.windowY1) * k;
    }
    item->placedA = vector2(a.x + (b.x - a.x) * g.areaX0, a.y + (b.y - a.y) * g.areaY0);
    item->placedB = vector2(a.x + (b.x - a.x) * g.areaX1, a.y + (b.y - a.y) * g.areaY1);
    // The quad's texture coordinates run over [0, u] x [0, v]; the matrix
    // takes them to the window on the picture.
    auto window = [](const kvFitGeometry& f, float fu, float fv, float out[16]) {
        for (int i = 0; i < 16; ++i) out[i] = (i % 5 == 0) ? 1.0f : 0.0f;
        out[0] = f.windowX1 - f.windowX0;
        out[5] = f.windowY1 - f.windowY0;
        out[12] = f.windowX0 * fu;
        out[13] = f.windowY0 * fv;
    };
    window(g, u, v, item->textureMatrix);
    // The blurred copy covers the area, still.
    int bw = 0, bh = 0;
    float bu = 1.0f, bv = 1.0f;
    if (mode == FIT_BLUR && renderer.textureSize(item->blurTexture, &bw, &bh, &bu, &bv))
        window(fitGeometry(FIT_COVER, areaW, areaH, static_cast<float>(bw), static_cast<float>(bh), 1.0f, 0.0f, 0.0f),
               bu, bv, item->blurMatrix);
}

void kvPlayer::drawBackdrop(const kvPlayerItem* item)
{
    kvRenderer& r = renderer;
    r.bindTexture(item->blurTexture);
    const vector2 a = imageAreaPos, b = imageAreaPos + imageAreaSize;
    int w = 0, h = 0;
    float bu = 1.0f, bv = 1.0f;
    // A picture with see-through pixels shows the backdrop through them.
    if (!r.textureOpaque(item->texture) || !r.textureSize(item->blurTexture, &w, &h, &bu, &bv) || a.x == b.x
        || a.y == b.y) {
        r.setTextureMatrix(item->blurMatrix);
        r.drawQuad(a, b);
        return;
    }
    // Else only the bands the picture leaves uncovered: the backdrop under
    // an opaque picture is never seen, and drawing it would cost a whole
    // screen of fill (two in a crossfade) and show through a fading one.
    // Each band takes its own share of the backdrop's texture window.
    auto fraction = [](float at, float from, float to) { return std::min(1.0f, std::max(0.0f, (at - from) / (to - from))); };
    const float px0 = fraction(item->placedA.x, a.x, b.x), px1 = fraction(item->placedB.x, a.x, b.x);
    const float py0 = fraction(item->placedA.y, a.y, b.y), py1 = fraction(item->placedB.y, a.y, b.y);
    // The picture's edges themselves, so that bands meet it without a seam.
    const float ex0 = px0 > 0.0f ? item->placedA.x : a.x, ex1 = px1 < 1.0f ? item->placedB.x : b.x;
    const float ey0 = py0 > 0.0f ? item->placedA.y : a.y, ey1 = py1 < 1.0f ? item->placedB.y : b.y;
    auto band = [&](float sx0, float sy0, float sx1, float sy1, vector2 from, vector2 to) {
        if (!(sx1 > sx0) || !(sy1 > sy0)) return;
        float m[16];
        std::copy(item->blurMatrix, item->blurMatrix + 16, m);
        m[12] += m[0] * sx0 * bu;
        m[13] += m[5] * sy0 * bv;
        m[0] *= sx1 - sx0;
        m[5] *= sy1 - sy0;
        r.setTextureMatrix(m);
        r.drawQuad(from, to);
    };
    band(0.0f, 0.0f, 1.0f, py0, a, vector2(b.x, ey0));
    band(0.0f, py1, 1.0f, 1.0f, vector2(a.x, ey1), b);
    band(0.0f, py0, px0, py1, vector2(a.x, ey0), vector2(ex0, ey1));
    band(px1, py0, 1.0f, py1, vector2(ex1, ey0), vector2(b.x, ey1));
}

void kvPlayer::drawPicture(const kvPlayerItem* item, float alpha, bool leaving)
{
    kvRenderer& r = renderer;
    // (The calls in the order a stretched slide has always made them.)
    if (leaving) r.setTextureMatrix(item->textureMatrix);
    r.setColorRGBA(vector4(imageColor, alpha));
    if (item->fitted && item->blurTexture && fitOf(item) == FIT_BLUR) drawBackdrop(item);
    if (!leaving || item->fitted) r.setTextureMatrix(item->textureMatrix);
    r.bindTexture(item->texture);
    r.drawQuad(item->placedA, item->placedB);
}

void kvPlayer::update()
{
    over = false;
    float t = clock.elapsed();
    advance(t);
    // A request is honoured by this frame's step or dropped.
    previousRequested = false;
    if (!current) return;
    preloadUpcoming();
    updateTransition(t);
    if (!openClips.empty() || current->clipPart.isClip || (previous && previous->clipPart.isClip)) updateClips(t);

    kvRenderer& r = renderer;
    const vector2 a = imageAreaPos;
    const vector2 b = imageAreaPos + imageAreaSize;
    r.pushMatrix();
    if (current->duration > 0.0f || fitOf(current) != FIT_STRETCH) computeMatrix(t);
    if (current->texture) {
        drawPicture(current, currentAlpha, false);
    } else {
        r.setColorRGBA(vector4(imageColor, currentAlpha));
    }
    if (previous) {
        if (previous->texture) {
            drawPicture(previous, previousAlpha, true);
        } else {
            // A leaving blank slide is a rectangle of the background colour.
            r.setTextureMatrix(previous->textureMatrix);
            r.bindTexture(kvTextureIndex());
            r.setColorRGBA(vector4(r.getClearColor(), previousAlpha));
            r.drawQuad(a, b);
        }
    }
    r.setTextureMatrix(nullptr);
    if (noiseTexture) {
        r.setColorRGBA(vector4(noiseColor, noiseAlpha));
        r.refreshTexture(noiseTexture);
        r.bindTexture(noiseTexture);
        r.drawQuad(a, b);
    }
    r.bindTexture(kvTextureIndex());
    drawSubtitles(t);
    r.popMatrix();
}

} // namespace Korvell
