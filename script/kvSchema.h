// The script's schema: every element, its attributes and their kinds and
// defaults, its keywords, and the handler of each top-level element, as
// one table. The handlers read their values through it and the checker
// checks against it, so each name and keyword is written once, in
// kvSchema.cpp. Code names an element or an attribute by these ids.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "player/kvFit.h"
#include "script/kvScriptContext.h"

namespace Korvell {

class kvTag;

// The form of every element handler.
typedef void (*TagHandler)(kvScriptContext& context, kvTag* tag);

enum class kvElement {
    Viewport,
    ImageArea, Position, Size,
    Global, Filter, Background, ImageColor, Effect, GlobalFit, GlobalFocus,
    Subtitles, Face, Style, Color, Center, SubtitleEffect,
    Image, File, Transition, Move, Zoom, Line, ImageFit, ImageFocus,
    Video, VideoFile, VideoTransition, VideoMove, VideoZoom, VideoLine, VideoFit, Trim, Sound,
    Music, Playlist, Track, DataFile,
    Count
};

enum class kvAttribute {
    ViewportX, ViewportY,
    PositionX, PositionY, SizeWidth, SizeHeight,
    BackgroundR, BackgroundG, BackgroundB, ImageColorR, ImageColorG, ImageColorB, EffectAlpha, EffectSize,
    GlobalFocusX, GlobalFocusY, GlobalFocusWidth, GlobalFocusHeight,
    SubtitlesY, SubtitlesScale, SubtitlesDelay, SubtitlesMargin, StyleBold, StyleItalic, ColorR, ColorG, ColorB,
    SubtitleEffectTime,
    ImageTime, ImageX, ImageY, ImageZoom, TransitionTime, MoveX, MoveY, ZoomFactor,
    ImageFocusX, ImageFocusY, ImageFocusWidth, ImageFocusHeight,
    VideoTime, VideoX, VideoY, VideoStartZoom, VideoTransitionTime, VideoMoveX, VideoMoveY, VideoZoomFactor,
    TrimStart, TrimEnd, SoundVolume, SoundDuck,
    PlaylistCrossfade, PlaylistFadeout,
    Count
};

// How a value is read (kvValues): a number as atof, a whole number as
// atoi, a flag true only for "yes", a slide's time a number that is never
// negative or beyond a float.
enum kvValueKind { VALUE_NUMBER, VALUE_INTEGER, VALUE_FLAG, VALUE_TIME };

struct kvAttributeRule {
    kvElement element;
    const char* name;
    kvValueKind kind;
    float fallback; // when absent (groups have none: all or nothing)
};

struct kvKeyword {
    const char* word; // compared exactly
    int code;
};

struct kvElementRule {
    kvElement parent; // kvElement::Count at the top level
    const char* name;
    // The element's text, when it is a keyword, and what an unknown one
    // means (for the checker).
    std::vector<kvKeyword> keywords;
    const char* whenNotAKeyword;
    // Numbered children: name1, name2, ... read up to the first gap.
    bool numbered;
    TagHandler handler; // top-level elements
    // Read as many times as it stands (a playlist's tracks).
    bool repeated = false;
};

const kvElementRule& ruleOf(kvElement element);
const kvAttributeRule& ruleOf(kvAttribute attribute);
// The path "parent/child" of an element, as the checker names places.
std::string pathOf(kvElement element);
// Every element, and every attribute of one element, in table order.
std::vector<kvElement> allElements();
std::vector<kvAttribute> attributesOf(kvElement element);
// The top-level element of a name, or kvElement::Count.
kvElement topLevelElement(const std::string& name);

// Reading values through the schema; a null tag reads the defaults. Each
// read notes what it asked of the tag, found or not.
const kvTag* child(const kvTag* tag, kvElement element);
// Every child of a repeated element, in order.
std::vector<const kvTag*> children(const kvTag* tag, kvElement element);
// The n-th of numbered children (line1 is 1).
const kvTag* numberedChild(const kvTag* tag, kvElement element, int n);
float readNumber(const kvTag* tag, kvAttribute attribute);
int readInteger(const kvTag* tag, kvAttribute attribute);
bool readFlag(const kvTag* tag, kvAttribute attribute);
// All the attributes of a group (x and y; r, g and b), or false with
// `out` untouched.
bool readGroup(const kvTag* tag, std::initializer_list<kvAttribute> group, float* out);
// A <focus> element: its keyword, or the region its four attributes name
// (all of them, a region inside the picture); `fallback` without either.
kvFocus readFocus(const kvTag* tag, kvElement element, std::initializer_list<kvAttribute> region,
                  const kvFocus& fallback);
// The code of the element's keyword when its text is exactly one, else
// `fallback`.
int readKeyword(const kvTag* tag, kvElement element, int fallback);
// Whether a read asked the tag for the attribute, or for a child element.
bool wasAsked(const kvTag* tag, kvAttribute attribute);
bool wasAsked(const kvTag* tag, kvElement element);

} // namespace Korvell
