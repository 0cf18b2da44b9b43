// Elements that set up the show's frame: viewport, imagearea, global,
// music, playlist and datafile. Every name and default comes from the schema.
#include "base/kvFiles.h"
#include "image/kvDataFile.h"
#include "image/kvTextureModifier.h"
#include "player/kvPlayer.h"
#include "script/kvHandlers.h"
#include "script/kvSchema.h"
#include "script/kvTag.h"

namespace Korvell {

using E = kvElement;
using A = kvAttribute;

void handleViewport(kvScriptContext& context, kvTag* tag)
{
    float v[2];
    if (readGroup(tag, {A::ViewportX, A::ViewportY}, v)) context.player->setViewSize(vector2(v[0], v[1]));
}

void handleImageArea(kvScriptContext& context, kvTag* tag)
{
    kvPlayer* player = context.player;
    float v[2];
    if (readGroup(child(tag, E::Position), {A::PositionX, A::PositionY}, v)) player->setImageAreaPos(vector2(v[0], v[1]));
    if (readGroup(child(tag, E::Size), {A::SizeWidth, A::SizeHeight}, v)) player->setImageAreaSize(vector2(v[0], v[1]));
}

void handleGlobal(kvScriptContext& context, kvTag* tag)
{
    kvPlayer* player = context.player;
    const kvTag* effect = child(tag, E::Effect);

    // The filter applies to this element's noise texture only.
    const int filterFlag = readKeyword(child(tag, E::Filter), E::Filter, 0);
    float c[3];
    if (readGroup(child(tag, E::Background), {A::BackgroundR, A::BackgroundG, A::BackgroundB}, c))
        player->setBackground(vector3(c[0], c[1], c[2]));
    if (readGroup(child(tag, E::ImageColor), {A::ImageColorR, A::ImageColorG, A::ImageColorB}, c))
        player->setImageColor(vector3(c[0], c[1], c[2]));
    player->setFit(readKeyword(child(tag, E::GlobalFit), E::GlobalFit, player->getFit()));
    player->setFocus(readFocus(child(tag, E::GlobalFocus), E::GlobalFocus,
                               {A::GlobalFocusX, A::GlobalFocusY, A::GlobalFocusWidth, A::GlobalFocusHeight},
                               player->getFocus()));

    if (effect && context.noiseEnabled) {
        const float alpha = readNumber(effect, A::EffectAlpha);
        int size = readInteger(effect, A::EffectSize);
        if (size > kvNoiseModifier::maxSize()) size = kvNoiseModifier::maxSize();
        if (readKeyword(effect, E::Effect, 0)) {
            player->createNoise(size, size, new kvNoiseModifier(), filterFlag);
            player->setNoiseAlpha(alpha);
        }
    }
}

// One track, or several: whichever element comes later is the music.
void handleMusic(kvScriptContext& context, kvTag* tag)
{
    kvMusic music;
    music.tracks.push_back(tag->getText());
    music.line = tag->getLine();
    if (context.setMusic) context.setMusic(music);
}

void handlePlaylist(kvScriptContext& context, kvTag* tag)
{
    kvMusic music;
    for (const kvTag* track : children(tag, kvElement::Track)) music.tracks.push_back(track->getText());
    music.crossfade = readNumber(tag, kvAttribute::PlaylistCrossfade);
    music.fadeout = readNumber(tag, kvAttribute::PlaylistFadeout);
    music.line = tag->getLine();
    if (context.setMusic) context.setMusic(music);
}

void handleDataFile(kvScriptContext& context, kvTag* tag)
{
    // Read from the disk, where '\\' separates folders too.
    if (context.archive) context.archive->open(diskPath(tag->getText()));
}

} // namespace Korvell
