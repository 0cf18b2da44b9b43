// Subtitle display: the slide's lines share the time between the quiet
// delays equally; a line too wide is broken once where a line may break;
// the typewriter reveals characters (grapheme clusters). Everything is worked out again from the
// clock every frame, so jumps in time need no bookkeeping.
#include "math/vector4.h"
#include "player/kvPlayer.h"
#include "render/kvRenderer.h"
#include "text/kvText.h"

namespace Korvell {

void kvPlayer::applyTypewriter(float x, std::string& text, float charTime)
{
    if (x < 0.0f) x = 0.0f;
    if (subtitleEffect != EFFECT_TYPEWRITER || text.empty()) return;
    // Characters as people see them: a letter with its accents, an emoji
    // sequence, each typed at once.
    const size_t count = clusterCount(text);
    if (charTime == 0.0f) charTime = typewriterTime / static_cast<float>(count);
    // A typing time of 0 shows the line whole rather than dividing by zero.
    if (charTime == 0.0f) return;
    const float q = (x - subtitleDelay) / charTime;
    if (q != q) return;
    // Below zero (a hair below, at a line's first instant) nothing is typed
    // yet; the count is truncated toward zero.
    if (q < 1.0f) {
        text.clear();
        return;
    }
    if (q >= static_cast<float>(count) + 1.0f) return;
    const size_t k = static_cast<size_t>(q);
    if (k > count) return;
    text = firstClusters(text, k);
}

void kvPlayer::drawSubtitles(float t)
{
    kvRenderer* r = &renderer;
    if (!current || fonts.empty() || current->lines.empty()) return;
    const kvFontIndex F = fonts[0];
    const float s = subtitleScale;

    float span, lt;
    if (previous) {
        span = current->endTime - previous->endTime;
        lt = t - previous->endTime;
    } else {
        span = current->endTime;
        lt = t;
    }
    if (!(subtitleDelay <= lt && lt < span - subtitleDelay)) return;

    const size_t n = current->lines.size();
    const float perLine = (span - 2.0f * subtitleDelay) / static_cast<float>(n);
    const float slot = (lt - subtitleDelay) / perLine;
    size_t idx = slot > 0.0f ? static_cast<size_t>(slot < static_cast<float>(n) ? slot : static_cast<float>(n)) : 0;
    if (idx > n - 1) idx = n - 1;

    std::string first = current->lines[idx];
    std::string second;
    int breakPos = 0;
    r->findLineBreak(F, first, s, subtitleMargin, &breakPos);
    vector2 full;
    r->measureText(F, first, &full);
    if (breakPos < 0 || static_cast<size_t>(breakPos) > first.size()) breakPos = 0;
    if (breakPos > 0) {
        second = first.substr(static_cast<size_t>(breakPos));
        first.resize(static_cast<size_t>(breakPos));
    }
    const float lineStart = static_cast<float>(idx) * perLine;
    applyTypewriter(lt - lineStart, first, typewriterTime);
    if (breakPos > 0)
        applyTypewriter(lt - typewriterTime * static_cast<float>(clusterCount(first)) - lineStart, second,
                        typewriterTime);

    vector2 size1, size2;
    r->measureText(F, first, &size1);
    r->measureText(F, second, &size2);
    const float gap = breakPos > 0 ? full.y * s + 0.05f : 0.0f;
    float x1 = 0.0f, x2 = 0.0f;
    if (subtitleCenter) {
        float W = 0.0f;
        r->getViewSize(&W, nullptr);
        x1 = W - size1.x * s;
        x2 = W - size2.x * s;
    }
    r->pushMatrix();
    r->setColorRGBA(vector4(subtitleColor, 1.0f));
    r->translate(vector2(x1 * 0.5f + subtitleMargin, subtitleY));
    r->scale(vector2(s, s));
    r->drawText(F, first);
    if (breakPos > 0) {
        r->popMatrix();
        r->pushMatrix();
        r->translate(vector2(x2 * 0.5f + subtitleMargin, subtitleY + gap));
        r->scale(vector2(s, s));
        r->drawText(F, second);
    }
    r->popMatrix();
}

} // namespace Korvell
