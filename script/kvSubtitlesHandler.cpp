// The subtitles element: the four placement attributes always apply; the
// font, style, colour, centring and effect only with a face.
#include "player/kvPlayer.h"
#include "script/kvHandlers.h"
#include "script/kvTag.h"
#include "script/kvValues.h"

namespace Korvell {

void handleSubtitles(kvScriptContext& context, kvTag* tag)
{
    kvPlayer* player = context.player;
    player->setSubtitleY(readFloat(tag, "y", 0.0f));
    player->setSubtitleScale(readFloat(tag, "scale", 1.0f));
    player->setSubtitleDelay(readFloat(tag, "delay", 0.0f));
    player->setSubtitleMargin(readFloat(tag, "margin", 0.0f));

    const kvTag* face = tag->findChild("face");
    const kvTag* style = tag->findChild("style");
    const kvTag* color = tag->findChild("color");
    const kvTag* center = tag->findChild("center");
    const kvTag* effect = tag->findChild("effect");
    if (!face) return;

    const bool bold = readFlag(style, "bold");
    const bool italic = readFlag(style, "italic");
    vector3 c;
    if (readTriple(color, "r", "g", "b", c)) player->setSubtitleColor(c);
    player->setSubtitleCenter(center != nullptr);
    if (effect) {
        const float time = readFloat(effect, "time", 0.0f);
        if (textIs(effect, "typewriter"))
            player->setSubtitleEffect(EFFECT_TYPEWRITER, time);
        else if (textIs(effect, "none"))
            player->setSubtitleEffect(EFFECT_NONE, time);
    }
    player->addFont(face->getText(), bold, italic);
}

} // namespace Korvell
