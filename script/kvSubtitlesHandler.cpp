// The subtitles element: the four placement attributes always apply; the
// font, style, colour, centring and effect only with a face.
#include "player/kvPlayer.h"
#include "script/kvHandlers.h"
#include "script/kvSchema.h"
#include "script/kvTag.h"

namespace Korvell {

using E = kvElement;
using A = kvAttribute;

void handleSubtitles(kvScriptContext& context, kvTag* tag)
{
    kvPlayer* player = context.player;
    player->setSubtitleY(readNumber(tag, A::SubtitlesY));
    player->setSubtitleScale(readNumber(tag, A::SubtitlesScale));
    player->setSubtitleDelay(readNumber(tag, A::SubtitlesDelay));
    player->setSubtitleMargin(readNumber(tag, A::SubtitlesMargin));

    const kvTag* face = child(tag, E::Face);
    if (!face) return;
    const kvTag* style = child(tag, E::Style);
    const kvTag* effect = child(tag, E::SubtitleEffect);

    float c[3];
    if (readGroup(child(tag, E::Color), {A::ColorR, A::ColorG, A::ColorB}, c))
        player->setSubtitleColor(vector3(c[0], c[1], c[2]));
    player->setSubtitleCenter(child(tag, E::Center) != nullptr);
    if (effect) {
        const int code = readKeyword(effect, E::SubtitleEffect, -1);
        if (code >= 0) player->setSubtitleEffect(code, readNumber(effect, A::SubtitleEffectTime));
    }
    player->addFont(face->getText(), readFlag(style, A::StyleBold), readFlag(style, A::StyleItalic));
}

} // namespace Korvell
