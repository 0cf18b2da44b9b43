// The image element: one slide, its timing, transition, motion, fit and
// subtitle lines (UTF-8, made valid).
#include "player/kvFit.h"
#include "player/kvPlayer.h"
#include "script/kvHandlers.h"
#include "script/kvSchema.h"
#include "script/kvTag.h"
#include "text/kvText.h"

namespace Korvell {

using E = kvElement;
using A = kvAttribute;

void handleImage(kvScriptContext& context, kvTag* tag)
{
    kvPlayer* player = context.player;
    const kvTag* file = child(tag, E::File);
    const kvTag* transition = child(tag, E::Transition);

    const float time = readNumber(tag, A::ImageTime);
    // A transition element with a keyword it does not know keeps the one
    // in force, as one without any.
    const int code = readKeyword(transition, E::Transition, TRANSITION_KEEP);
    const float transitionTime = readNumber(transition, A::TransitionTime);
    const bool reset = time == 0.0f;

    if (file) {
        kvPlayerItem* item = player->addImage(file->getText(), time, code, transitionTime, reset);
        const kvTag* move = child(tag, E::Move);
        item->move = vector2(readNumber(move, A::MoveX), readNumber(move, A::MoveY));
        item->zoom = readNumber(child(tag, E::Zoom), A::ZoomFactor);
        item->offset = vector2(readNumber(tag, A::ImageX), readNumber(tag, A::ImageY));
        item->startZoom = readNumber(tag, A::ImageZoom);
        item->fit = readKeyword(child(tag, E::ImageFit), E::ImageFit, FIT_DEFAULT);
    } else {
        player->addBlank(time, code, transitionTime);
    }

    for (int n = 1;; ++n) {
        const kvTag* line = numberedChild(tag, E::Line, n);
        if (!line) break;
        player->addSubtitleLine(player->getItemCount(), validUtf8(line->getText()));
    }
}

} // namespace Korvell
