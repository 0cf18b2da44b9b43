// The slide elements, image and video: one slide each, its timing,
// transition, motion, fit and subtitle lines (UTF-8, made valid); a
// video's clip too, the part of it played and its sound.
#include <algorithm>

#include "player/kvFit.h"
#include "player/kvPlayer.h"
#include "script/kvHandlers.h"
#include "script/kvSchema.h"
#include "script/kvTag.h"
#include "text/kvText.h"

namespace Korvell {

using E = kvElement;
using A = kvAttribute;

namespace {

// Where a slide element keeps what both kinds have.
struct SlideSchema {
    E file, transition, move, zoom, line, fit;
    A x, y, startZoom, transitionTime, moveX, moveY, zoomFactor;
};
const SlideSchema kImage = {E::File,   E::Transition,     E::Move,          E::Zoom,       E::Line,
                            E::ImageFit, A::ImageX,       A::ImageY,        A::ImageZoom,  A::TransitionTime,
                            A::MoveX,  A::MoveY,          A::ZoomFactor};
const SlideSchema kVideo = {E::VideoFile, E::VideoTransition,    E::VideoMove,  E::VideoZoom,     E::VideoLine,
                            E::VideoFit,  A::VideoX,             A::VideoY,     A::VideoStartZoom, A::VideoTransitionTime,
                            A::VideoMoveX, A::VideoMoveY,        A::VideoZoomFactor};

// The slide, with its time; a clip's part makes it a clip's.
void readSlide(kvScriptContext& context, kvTag* tag, const SlideSchema& s, float time, bool reset,
               const kvClipPart* clip)
{
    kvPlayer* player = context.player;
    const kvTag* file = child(tag, s.file);
    const kvTag* transition = child(tag, s.transition);
    // A transition element with a keyword it does not know keeps the one
    // in force, as one without any.
    const int code = readKeyword(transition, s.transition, TRANSITION_KEEP);
    const float transitionTime = readNumber(transition, s.transitionTime);

    if (file) {
        kvPlayerItem* item = clip ? player->addClip(file->getText(), time, code, transitionTime, reset, *clip)
                                  : player->addImage(file->getText(), time, code, transitionTime, reset);
        const kvTag* move = child(tag, s.move);
        item->move = vector2(readNumber(move, s.moveX), readNumber(move, s.moveY));
        item->zoom = readNumber(child(tag, s.zoom), s.zoomFactor);
        item->offset = vector2(readNumber(tag, s.x), readNumber(tag, s.y));
        item->startZoom = readNumber(tag, s.startZoom);
        item->fit = readKeyword(child(tag, s.fit), s.fit, FIT_DEFAULT);
    } else {
        player->addBlank(time, code, transitionTime);
    }

    for (int n = 1;; ++n) {
        const kvTag* line = numberedChild(tag, s.line, n);
        if (!line) break;
        player->addSubtitleLine(player->getItemCount(), validUtf8(line->getText()));
    }
}

} // namespace

void handleImage(kvScriptContext& context, kvTag* tag)
{
    const float time = readNumber(tag, A::ImageTime);
    readSlide(context, tag, kImage, time, time == 0.0f, nullptr);
    // Clips take no focus: a picture's slide only.
    kvPlayer* player = context.player;
    if (child(tag, E::File) && player->getItemCount() > 0)
        player->getItem(player->getItemCount() - 1)->focus =
            readFocus(child(tag, E::ImageFocus), E::ImageFocus,
                      {A::ImageFocusX, A::ImageFocusY, A::ImageFocusWidth, A::ImageFocusHeight}, kvFocus());
}

void handleVideo(kvScriptContext& context, kvTag* tag)
{
    kvClipPart part;
    part.isClip = true;
    const kvTag* trim = child(tag, E::Trim);
    part.trimStart = readNumber(trim, A::TrimStart);
    const double end = readNumber(trim, A::TrimEnd);
    part.trimEnd = end >= 0.0 ? std::max(end, part.trimStart) : -1.0;
    const kvTag* sound = child(tag, E::Sound);
    part.volume = std::max(0.0f, readNumber(sound, A::SoundVolume));
    part.duck = std::min(1.0f, std::max(0.0f, readNumber(sound, A::SoundDuck)));
    // The clip's length and sound, from its headers, when they can be read.
    const kvTag* file = child(tag, E::VideoFile);
    kvClipFacts facts;
    if (file && context.probeClip && context.probeClip(file->getText(), &facts)) {
        part.sound = facts.sound;
        const double last = part.trimEnd >= 0.0 ? std::min(part.trimEnd, facts.seconds) : facts.seconds;
        part.length = std::max(0.0, last - part.trimStart);
    } else if (part.trimEnd >= 0.0) {
        part.length = part.trimEnd - part.trimStart;
    }
    // Without a time, the trimmed clip's length; a time of 0 given is
    // image's (the show's clock starts again), one not known is not.
    const float given = readNumber(tag, A::VideoTime);
    const float time = given >= 0.0f ? given : static_cast<float>(part.length);
    readSlide(context, tag, kVideo, time, given == 0.0f, &part);
}

} // namespace Korvell
