// The image element: one slide, its timing, transition, motion and
// subtitle lines (converted to Windows-1250 here).
#include <cstdio>

#include "player/kvPlayer.h"
#include "script/kvHandlers.h"
#include "text/kvTextEncoding.h"
#include "script/kvTag.h"
#include "script/kvValues.h"

namespace Korvell {

void handleImage(kvScriptContext& context, kvTag* tag)
{
    kvPlayer* player = context.player;
    const kvTag* file = tag->findChild("file");
    const kvTag* transition = tag->findChild("transition");
    const kvTag* move = tag->findChild("move");
    const kvTag* zoom = tag->findChild("zoom");

    const float time = readTime(tag, "time", 0.0f);
    const float x = readFloat(tag, "x", 0.0f);
    const float y = readFloat(tag, "y", 0.0f);
    const float startZoom = readFloat(tag, "zoom", 1.0f);

    int code = TRANSITION_KEEP;
    float transitionTime = 0.0f;
    if (transition) {
        transitionTime = readFloat(transition, "time", 0.0f);
        if (textIs(transition, "none"))
            code = TRANSITION_NONE;
        else if (textIs(transition, "fade"))
            code = TRANSITION_FADE;
        else if (textIs(transition, "crossfade"))
            code = TRANSITION_CROSSFADE;
    }
    const vector2 moveBy(readFloat(move, "x", 0.0f), readFloat(move, "y", 0.0f));
    const float endZoom = readFloat(zoom, "f", 1.0f);
    const bool reset = time == 0.0f;

    if (file) {
        kvPlayerItem* item = player->addImage(file->getText(), time, code, transitionTime, reset);
        item->move = moveBy;
        item->zoom = endZoom;
        item->offset = vector2(x, y);
        item->startZoom = startZoom;
    } else {
        player->addBlank(time, code, transitionTime);
    }

    char name[32];
    for (int n = 1;; ++n) {
        std::snprintf(name, sizeof name, "line%i", n);
        const kvTag* line = tag->findChild(name);
        if (!line) break;
        player->addSubtitleLine(player->getItemCount(), utf8ToCp1250(line->getText()));
    }
}

} // namespace Korvell
