// The schema's table, and reading values through it.
#include "script/kvSchema.h"

#include <charconv>
#include <cstdlib>

#include "player/kvFit.h"
#include "player/kvPlayerItem.h"
#include "player/kvTransitions.h"
#include "script/kvHandlers.h"
#include "script/kvTag.h"
#include "script/kvValues.h"

namespace Korvell {

namespace {

using E = kvElement;
using A = kvAttribute;
const E TOP = E::Count;

std::vector<kvKeyword> transitionKeywords()
{
    std::vector<kvKeyword> words;
    for (const kvTransition& t : transitions()) words.push_back({t.keyword, t.code});
    return words;
}

// How a picture fills the image area (kvFit), for the show and one slide.
std::vector<kvKeyword> fitKeywords()
{
    return {{"stretch", FIT_STRETCH}, {"contain", FIT_CONTAIN}, {"cover", FIT_COVER}, {"blur", FIT_BLUR}};
}

// What a slide keeps in frame (kvFocus); a region is given by attributes.
std::vector<kvKeyword> focusKeywords() { return {{"none", FOCUS_NONE}, {"auto", FOCUS_AUTO}}; }

// Indexed by kvElement.
const std::vector<kvElementRule>& elements()
{
    static const std::vector<kvElementRule> table = {
        {TOP, "viewport", {}, nullptr, false, handleViewport},
        {TOP, "imagearea", {}, nullptr, false, handleImageArea},
        {E::ImageArea, "position", {}, nullptr, false, nullptr},
        {E::ImageArea, "size", {}, nullptr, false, nullptr},
        {TOP, "global", {}, nullptr, false, handleGlobal},
        {E::Global, "filter", {{"bilinear", 1}}, "the noise is drawn unfiltered", false, nullptr},
        {E::Global, "background", {}, nullptr, false, nullptr},
        {E::Global, "imagecolor", {}, nullptr, false, nullptr},
        {E::Global, "effect", {{"noise", 1}}, "no noise is made", false, nullptr},
        {E::Global, "fit", fitKeywords(), "pictures keep the fit in force", false, nullptr},
        {E::Global, "focus", focusKeywords(), "pictures keep the focus in force", false, nullptr},
        {TOP, "subtitles", {}, nullptr, false, handleSubtitles},
        {E::Subtitles, "face", {}, nullptr, false, nullptr},
        {E::Subtitles, "style", {}, nullptr, false, nullptr},
        {E::Subtitles, "color", {}, nullptr, false, nullptr},
        {E::Subtitles, "center", {}, nullptr, false, nullptr},
        {E::Subtitles, "effect", {{"typewriter", EFFECT_TYPEWRITER}, {"none", EFFECT_NONE}},
         "the subtitle effect stays as it was", false, nullptr},
        {TOP, "image", {}, nullptr, false, handleImage},
        {E::Image, "file", {}, nullptr, false, nullptr},
        {E::Image, "transition", transitionKeywords(), "the slide keeps the transition in force", false, nullptr},
        {E::Image, "move", {}, nullptr, false, nullptr},
        {E::Image, "zoom", {}, nullptr, false, nullptr},
        {E::Image, "line", {}, nullptr, true, nullptr},
        {E::Image, "fit", fitKeywords(), "the slide keeps the show's fit", false, nullptr},
        {E::Image, "focus", focusKeywords(), "the slide keeps the show's focus", false, nullptr},
        {TOP, "video", {}, nullptr, false, handleVideo},
        {E::Video, "file", {}, nullptr, false, nullptr},
        {E::Video, "transition", transitionKeywords(), "the slide keeps the transition in force", false, nullptr},
        {E::Video, "move", {}, nullptr, false, nullptr},
        {E::Video, "zoom", {}, nullptr, false, nullptr},
        {E::Video, "line", {}, nullptr, true, nullptr},
        {E::Video, "fit", fitKeywords(), "the slide keeps the show's fit", false, nullptr},
        {E::Video, "trim", {}, nullptr, false, nullptr},
        {E::Video, "sound", {}, nullptr, false, nullptr},
        {TOP, "music", {}, nullptr, false, handleMusic},
        {TOP, "playlist", {}, nullptr, false, handlePlaylist},
        {E::Playlist, "track", {}, nullptr, false, nullptr, true},
        {TOP, "datafile", {}, nullptr, false, handleDataFile},
    };
    return table;
}

// Indexed by kvAttribute.
const std::vector<kvAttributeRule>& attributes()
{
    static const std::vector<kvAttributeRule> table = {
        {E::Viewport, "x", VALUE_NUMBER, 0.0f},
        {E::Viewport, "y", VALUE_NUMBER, 0.0f},
        {E::Position, "x", VALUE_NUMBER, 0.0f},
        {E::Position, "y", VALUE_NUMBER, 0.0f},
        {E::Size, "width", VALUE_NUMBER, 0.0f},
        {E::Size, "height", VALUE_NUMBER, 0.0f},
        {E::Background, "r", VALUE_NUMBER, 0.0f},
        {E::Background, "g", VALUE_NUMBER, 0.0f},
        {E::Background, "b", VALUE_NUMBER, 0.0f},
        {E::ImageColor, "r", VALUE_NUMBER, 0.0f},
        {E::ImageColor, "g", VALUE_NUMBER, 0.0f},
        {E::ImageColor, "b", VALUE_NUMBER, 0.0f},
        {E::Effect, "alpha", VALUE_NUMBER, 0.5f},
        {E::Effect, "size", VALUE_INTEGER, 128.0f},
        {E::GlobalFocus, "x", VALUE_NUMBER, 0.0f},
        {E::GlobalFocus, "y", VALUE_NUMBER, 0.0f},
        {E::GlobalFocus, "width", VALUE_NUMBER, 0.0f},
        {E::GlobalFocus, "height", VALUE_NUMBER, 0.0f},
        {E::Subtitles, "y", VALUE_NUMBER, 0.0f},
        {E::Subtitles, "scale", VALUE_NUMBER, 1.0f},
        {E::Subtitles, "delay", VALUE_NUMBER, 0.0f},
        {E::Subtitles, "margin", VALUE_NUMBER, 0.0f},
        {E::Style, "bold", VALUE_FLAG, 0.0f},
        {E::Style, "italic", VALUE_FLAG, 0.0f},
        {E::Color, "r", VALUE_NUMBER, 0.0f},
        {E::Color, "g", VALUE_NUMBER, 0.0f},
        {E::Color, "b", VALUE_NUMBER, 0.0f},
        {E::SubtitleEffect, "time", VALUE_NUMBER, 0.0f},
        {E::Image, "time", VALUE_TIME, 0.0f},
        {E::Image, "x", VALUE_NUMBER, 0.0f},
        {E::Image, "y", VALUE_NUMBER, 0.0f},
        {E::Image, "zoom", VALUE_NUMBER, 1.0f},
        {E::Transition, "time", VALUE_NUMBER, 0.0f},
        {E::Move, "x", VALUE_NUMBER, 0.0f},
        {E::Move, "y", VALUE_NUMBER, 0.0f},
        {E::Zoom, "f", VALUE_NUMBER, 1.0f},
        {E::ImageFocus, "x", VALUE_NUMBER, 0.0f},
        {E::ImageFocus, "y", VALUE_NUMBER, 0.0f},
        {E::ImageFocus, "width", VALUE_NUMBER, 0.0f},
        {E::ImageFocus, "height", VALUE_NUMBER, 0.0f},
        // A clip's time is its trimmed length when not given (-1).
        {E::Video, "time", VALUE_TIME, -1.0f},
        {E::Video, "x", VALUE_NUMBER, 0.0f},
        {E::Video, "y", VALUE_NUMBER, 0.0f},
        {E::Video, "zoom", VALUE_NUMBER, 1.0f},
        {E::VideoTransition, "time", VALUE_NUMBER, 0.0f},
        {E::VideoMove, "x", VALUE_NUMBER, 0.0f},
        {E::VideoMove, "y", VALUE_NUMBER, 0.0f},
        {E::VideoZoom, "f", VALUE_NUMBER, 1.0f},
        // Seconds of the clip; an end of -1 is its own end.
        {E::Trim, "start", VALUE_TIME, 0.0f},
        {E::Trim, "end", VALUE_NUMBER, -1.0f},
        {E::Sound, "volume", VALUE_NUMBER, 1.0f},
        {E::Sound, "duck", VALUE_NUMBER, 0.3f},
        {E::Playlist, "crossfade", VALUE_TIME, 0.0f},
        {E::Playlist, "fadeout", VALUE_TIME, 0.0f},
    };
    return table;
}

// What a tag was asked for, by slot: its attributes below 64, its
// children's elements from 64.
static_assert(static_cast<unsigned>(kvAttribute::Count) <= 64, "attributes fit their slots");
static_assert(static_cast<unsigned>(kvElement::Count) <= 64, "elements fit their slots");
unsigned slotOf(kvAttribute attribute) { return static_cast<unsigned>(attribute); }
unsigned slotOf(kvElement element) { return 64u + static_cast<unsigned>(element); }

// The names as strings, made once: a tag's names compare by length first.
const std::string& nameOf(kvAttribute attribute)
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const kvAttributeRule& r : attributes()) all.push_back(r.name);
        return all;
    }();
    return names[static_cast<size_t>(attribute)];
}

const std::string& nameOf(kvElement element)
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const kvElementRule& r : elements()) all.push_back(r.name);
        return all;
    }();
    return names[static_cast<size_t>(element)];
}

// The attribute's text, or null; asked either way.
const std::string* value(const kvTag* tag, kvAttribute attribute)
{
    if (!tag) return nullptr;
    tag->noteAsked(slotOf(attribute));
    return tag->findAttribute(nameOf(attribute));
}

float read(kvValueKind kind, const std::string& text)
{
    switch (kind) {
    case VALUE_INTEGER: return static_cast<float>(parseInt(text));
    case VALUE_FLAG: return text == "yes" ? 1.0f : 0.0f;
    case VALUE_TIME: return parseTime(text);
    default: return parseFloat(text);
    }
}

} // namespace

const kvElementRule& ruleOf(kvElement element) { return elements()[static_cast<size_t>(element)]; }
const kvAttributeRule& ruleOf(kvAttribute attribute) { return attributes()[static_cast<size_t>(attribute)]; }

std::string pathOf(kvElement element)
{
    const kvElementRule& r = ruleOf(element);
    return r.parent == TOP ? r.name : pathOf(r.parent) + "/" + r.name;
}

std::vector<kvElement> allElements()
{
    std::vector<kvElement> all;
    for (size_t i = 0; i < elements().size(); ++i) all.push_back(static_cast<kvElement>(i));
    return all;
}

std::vector<kvAttribute> attributesOf(kvElement element)
{
    std::vector<kvAttribute> all;
    for (size_t i = 0; i < attributes().size(); ++i)
        if (attributes()[i].element == element) all.push_back(static_cast<kvAttribute>(i));
    return all;
}

kvElement topLevelElement(const std::string& name)
{
    for (kvElement e : allElements())
        if (ruleOf(e).parent == TOP && name == ruleOf(e).name) return e;
    return TOP;
}

bool wasAsked(const kvTag* tag, kvAttribute attribute) { return tag->wasAsked(slotOf(attribute)); }
bool wasAsked(const kvTag* tag, kvElement element) { return tag->wasAsked(slotOf(element)); }

const kvTag* child(const kvTag* tag, kvElement element)
{
    if (!tag) return nullptr;
    tag->noteAsked(slotOf(element));
    return tag->findChild(nameOf(element));
}

std::vector<const kvTag*> children(const kvTag* tag, kvElement element)
{
    std::vector<const kvTag*> all;
    if (!tag) return all;
    tag->noteAsked(slotOf(element));
    for (const kvTag* c : tag->getChildren())
        if (c->getName() == nameOf(element)) all.push_back(c);
    return all;
}

const kvTag* numberedChild(const kvTag* tag, kvElement element, int n)
{
    if (!tag) return nullptr;
    tag->noteAsked(slotOf(element));
    // The name "line7" is the stem and the number's digits.
    char number[16];
    const size_t digits = static_cast<size_t>(std::to_chars(number, number + sizeof number, n).ptr - number);
    const std::string& stem = nameOf(element);
    for (kvTag* c : tag->getChildren()) {
        const std::string& name = c->getName();
        if (name.size() == stem.size() + digits && name.compare(0, stem.size(), stem) == 0
            && name.compare(stem.size(), digits, number, digits) == 0)
            return c;
    }
    return nullptr;
}

float readNumber(const kvTag* tag, kvAttribute attribute)
{
    const std::string* text = value(tag, attribute);
    return text ? read(ruleOf(attribute).kind, *text) : ruleOf(attribute).fallback;
}

int readInteger(const kvTag* tag, kvAttribute attribute)
{
    const std::string* text = value(tag, attribute);
    return text ? parseInt(*text) : static_cast<int>(ruleOf(attribute).fallback);
}

bool readFlag(const kvTag* tag, kvAttribute attribute)
{
    const std::string* text = value(tag, attribute);
    return text && *text == "yes";
}

bool readGroup(const kvTag* tag, std::initializer_list<kvAttribute> group, float* out)
{
    const std::string* texts[8] = {};
    size_t i = 0;
    for (kvAttribute a : group)
        if (i >= 8 || !(texts[i++] = value(tag, a))) return false;
    i = 0;
    for (kvAttribute a : group) {
        out[i] = read(ruleOf(a).kind, *texts[i]);
        ++i;
    }
    return true;
}

kvFocus readFocus(const kvTag* tag, kvElement element, std::initializer_list<kvAttribute> region,
                  const kvFocus& fallback)
{
    if (!tag) return fallback;
    float r[4];
    if (readGroup(tag, region, r)) {
        kvFocus f;
        f.mode = FOCUS_REGION;
        f.region.x = r[0];
        f.region.y = r[1];
        f.region.width = r[2];
        f.region.height = r[3];
        f.region = f.region.clipped();
        return f.region.empty() ? fallback : f;
    }
    kvFocus f;
    f.mode = readKeyword(tag, element, -2);
    return f.mode == -2 ? fallback : f;
}

int readKeyword(const kvTag* tag, kvElement element, int fallback)
{
    if (!tag) return fallback;
    const std::string& text = tag->getText();
    for (const kvKeyword& k : ruleOf(element).keywords)
        if (text == k.word) return k.code;
    return fallback;
}

} // namespace Korvell
