// Elements that set up the show's frame: viewport, imagearea, global,
// music and datafile.
#include "base/kvFiles.h"
#include "image/kvDataFile.h"
#include "image/kvTextureModifier.h"
#include "player/kvPlayer.h"
#include "script/kvHandlers.h"
#include "script/kvTag.h"
#include "script/kvValues.h"

namespace Korvell {



void handleViewport(kvScriptContext& context, kvTag* tag)
{
    vector2 size;
    if (readPair(tag, "x", "y", size)) context.player->setViewSize(size);
}

void handleImageArea(kvScriptContext& context, kvTag* tag)
{
    kvPlayer* player = context.player;
    vector2 v;
    if (readPair(tag->findChild("position"), "x", "y", v)) player->setImageAreaPos(v);
    if (readPair(tag->findChild("size"), "width", "height", v)) player->setImageAreaSize(v);
}

void handleGlobal(kvScriptContext& context, kvTag* tag)
{
    kvPlayer* player = context.player;
    const kvTag* background = tag->findChild("background");
    const kvTag* imageColor = tag->findChild("imagecolor");
    const kvTag* effect = tag->findChild("effect");
    const kvTag* filter = tag->findChild("filter");

    // The filter applies to this element's noise texture only.
    const int filterFlag = textIs(filter, "bilinear") ? 1 : 0;
    vector3 color;
    if (readTriple(background, "r", "g", "b", color)) player->setBackground(color);
    if (readTriple(imageColor, "r", "g", "b", color)) player->setImageColor(color);

    if (effect && context.noiseEnabled) {
        const float alpha = readFloat(effect, "alpha", 0.5f);
        int size = readInt(effect, "size", 128);
        if (size > kvNoiseModifier::maxSize()) size = kvNoiseModifier::maxSize();
        if (textIs(effect, "noise")) {
            player->createNoise(size, size, new kvNoiseModifier(), filterFlag);
            player->setNoiseAlpha(alpha);
        }
    }
}

void handleMusic(kvScriptContext& context, kvTag* tag)
{
    if (context.loadMusic) context.loadMusic(tag->getText());
}

void handleDataFile(kvScriptContext& context, kvTag* tag)
{
    (void)context;
    // Read from the disk, where '\\' separates folders too.
    openDataFile(diskPath(tag->getText()));
}

} // namespace Korvell
