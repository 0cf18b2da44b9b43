// The checker: a walk over the tag tree against what each handler reads,
// then a look at the slides the player was given.
#include "script/kvChecker.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "base/kvFiles.h"
#include "base/kvQuote.h"
#include "image/kvDataFile.h"
#include "image/kvPictureFile.h"
#include "image/kvPictureInfo.h"
#include "image/kvTextureModifier.h"
#include "player/kvClock.h"
#include "player/kvFit.h"
#include "player/kvPlayer.h"
#include "player/kvTransitions.h"
#include "render/kvNullRenderer.h"
#include "script/kvSchema.h"
#include "script/kvScriptedShow.h"
#include "script/kvTag.h"
#include "script/kvValues.h"
#include "sound/kvPlaylist.h"

namespace Korvell {

namespace {

// A show and its music a few seconds apart are as meant.
const double kMusicSlack = 5.0;

using E = kvElement;
using A = kvAttribute;

// The screen fitted pictures are checked on: a render's default size.
const float kCheckScreenWidth = 1920.0f;
const float kCheckScreenHeight = 1080.0f;

std::string trimmed(const std::string& s)
{
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// "line7" is the numbered child "line", number 7; its number, or 0.
int numberOf(const std::string& name, const std::string& base)
{
    if (name.compare(0, base.size(), base) != 0 || name.size() == base.size() || name.size() > base.size() + 8)
        return 0;
    if (name[base.size()] == '0') return 0;
    for (size_t i = base.size(); i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    return std::atoi(name.c_str() + base.size());
}

// The child element of `parent` that a tag's name stands for (a numbered
// child by its stem), or kvElement::Count; its number when numbered.
kvElement childRule(kvElement parent, const std::string& name, int* number)
{
    *number = 0;
    for (kvElement e : allElements()) {
        const kvElementRule& r = ruleOf(e);
        if (r.parent != parent) continue;
        if (!r.numbered && name == r.name) return e;
        if (r.numbered && (*number = numberOf(name, r.name)) > 0) return e;
    }
    return kvElement::Count;
}

// The closest of the names, when it is one or two edits away.
std::string closest(const std::string& given, const std::vector<std::string>& names)
{
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& n : names) {
        std::vector<size_t> row(n.size() + 1);
        for (size_t j = 0; j <= n.size(); ++j) row[j] = j;
        for (size_t i = 1; i <= given.size(); ++i) {
            size_t diagonal = row[0];
            row[0] = i;
            for (size_t j = 1; j <= n.size(); ++j) {
                const size_t up = row[j];
                row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (given[i - 1] == n[j - 1] ? 0u : 1u)});
                diagonal = up;
            }
        }
        if (row[n.size()] < bestDistance) {
            bestDistance = row[n.size()];
            best = n;
        }
    }
    return best;
}

class Checker {
public:
    explicit Checker(const kvCheckHooks& hooks_) : hooks(hooks_) {}
    std::vector<kvFinding> run(const std::string& script);

private:
    void warn(int line, const std::string& text) { findings.push_back({line, false, text}); }
    void error(int line, const std::string& text) { findings.push_back({line, true, text}); }
    void note(int line, const std::string& text) { findings.push_back({line, false, text, true}); }
    void checkElement(const kvTag* tag, kvElement element);
    void checkAttributes(const kvTag* tag, kvElement element);
    void checkKeyword(const kvTag* tag, kvElement element);
    void checkChildren(const kvTag* tag, kvElement element);
    void checkFiles(const std::vector<kvTag*>& roots, const kvDataFile& archive);
    void checkClip(const kvTag* tag);
    // The hook's answer for a clip, asked once.
    std::string clipProblem(const std::string& file, kvClipFacts* facts)
    {
        auto it = clips.find(file);
        if (it == clips.end()) {
            kvClipFacts f;
            const std::string why = hooks.clipProblem(file, &f);
            it = clips.insert({file, {why, f}}).first;
        }
        *facts = it->second.second;
        return it->second.first;
    }
    void checkSlides(const std::vector<kvTag*>& roots, const kvPlayer& player, const kvDataFile& archive,
                     const kvRenderer& renderer);

    const kvCheckHooks& hooks;
    std::vector<kvFinding> findings;
    double musicSeconds = 0.0;
    int musicLine = 0;
    bool credits = true;
    std::map<std::string, std::pair<std::string, kvClipFacts>> clips;
};

void Checker::checkAttributes(const kvTag* tag, kvElement element)
{
    const std::string name = "<" + tag->getName() + ">";
    std::vector<std::string> known;
    for (kvAttribute a : attributesOf(element)) known.push_back(ruleOf(a).name);
    for (const auto& attribute : tag->getAttributes()) {
        const std::string& key = attribute.first;
        const std::string& value = attribute.second;
        const kvAttributeRule* a = nullptr;
        for (kvAttribute candidate : attributesOf(element))
            if (key == ruleOf(candidate).name) a = &ruleOf(candidate);
        if (!a) {
            const std::string guess = closest(key, known);
            warn(tag->getLine(), "attribute " + key + " is not read by " + name + " and has no effect"
                                     + (guess.empty() ? "" : " (" + guess + " was probably meant)"));
            continue;
        }
        const std::string quotedValue = key + "=" + quoted(value);
        if (a->kind == VALUE_FLAG) {
            if (value != "yes" && lower(trimmed(value)) == "yes")
                warn(tag->getLine(), quotedValue + " is not the flag yes, so it is off; yes was probably meant");
            continue;
        }
        // As the handlers read it: atof or atoi in the C locale.
        size_t used = 0;
        const double full = parseDecimal(value, &used);
        const std::string rest = value.substr(used);
        const double read =
            a->kind == VALUE_INTEGER ? static_cast<double>(parseInt(value)) : static_cast<double>(parseFloat(value));
        if (used == 0) {
            warn(tag->getLine(), quotedValue + " is not a number: it reads as 0");
        } else if (!trimmed(rest).empty()) {
            warn(tag->getLine(), quotedValue + " reads only in part, as " + number(read));
        } else if (a->kind == VALUE_INTEGER && read != full) {
            warn(tag->getLine(), quotedValue + " reads as the whole number " + number(read));
        } else if (a->kind == VALUE_TIME && !(full >= 0.0 && full <= FLT_MAX)) {
            warn(tag->getLine(), quotedValue + (full < 0.0 ? " is negative" : " is not a finite number")
                                     + (element == E::Image || element == E::Video ? ": the slide's time is taken as 0"
                                                                                  : ": it is taken as 0"));
        }
    }
}

void Checker::checkKeyword(const kvTag* tag, kvElement element)
{
    const kvElementRule& rule = ruleOf(element);
    if (rule.keywords.empty()) return;
    const std::string text = tag->getText();
    for (const kvKeyword& k : rule.keywords)
        if (text == k.word) return;
    // A focus region is all attributes.
    if (trimmed(text).empty() && tag->getAttributes().size() > 0) return;
    const std::string name = "<" + tag->getName() + ">";
    for (const kvKeyword& k : rule.keywords) {
        if (lower(trimmed(text)) != k.word) continue;
        warn(tag->getLine(), name + " " + quoted(text) + " is not the keyword " + k.word + " (keywords are exact): "
                                 + rule.whenNotAKeyword + "; " + k.word + " was probably meant");
        return;
    }
    std::string list;
    for (const kvKeyword& k : rule.keywords) list += (list.empty() ? "" : ", ") + std::string(k.word);
    warn(tag->getLine(), name + " " + quoted(text) + " is none of " + list + ": " + rule.whenNotAKeyword);
}

void Checker::checkChildren(const kvTag* tag, kvElement element)
{
    std::set<std::string> seen;
    std::map<kvElement, std::set<int>> numbers;
    for (const kvTag* tagChild : tag->getChildren()) {
        if (tagChild->getName() == "korvell") continue; // transparent only at the top
        int n = 0;
        const kvElement e = childRule(element, tagChild->getName(), &n);
        const std::string where = "<" + tagChild->getName() + "> inside <" + tag->getName() + ">";
        if (e == kvElement::Count) {
            warn(tagChild->getLine(), where + " is not read and has no effect");
            continue;
        }
        if (!seen.insert(tagChild->getName()).second && !ruleOf(e).repeated) {
            warn(tagChild->getLine(), "a second " + where + " is not read: only the first counts");
            continue;
        }
        if (n > 0) numbers[e].insert(n);
        checkElement(tagChild, e);
    }
    // Numbered children are read from 1 up to the first number missing.
    for (const auto& numbered : numbers) {
        int expected = 1;
        while (numbered.second.count(expected)) ++expected;
        const std::string stem = ruleOf(numbered.first).name;
        for (const kvTag* tagChild : tag->getChildren()) {
            if (numberOf(tagChild->getName(), stem) > expected)
                warn(tagChild->getLine(), "<" + tagChild->getName() + "> is not shown: <" + stem
                                              + std::to_string(expected)
                                              + "> is missing, and lines are read in order up to the first gap");
        }
    }
    // Without a face, a subtitles element's other children are not read.
    if (element == E::Subtitles && !child(tag, E::Face))
        for (const kvTag* tagChild : tag->getChildren())
            if (tagChild->getName() != ruleOf(E::Face).name)
                warn(tagChild->getLine(),
                     "<" + tagChild->getName() + "> inside <subtitles> is not read: it has no <face>");
}

void Checker::checkElement(const kvTag* tag, kvElement element)
{
    checkAttributes(tag, element);
    const int noise = readInteger(tag, A::EffectSize);
    if (element == E::Effect && noise > kvNoiseModifier::maxSize())
        warn(tag->getLine(), "size=\"" + std::to_string(noise) + "\" is larger than a noise texture may be ("
                                 + std::to_string(kvNoiseModifier::maxSize()) + " pixels, its buffer "
                                 + std::to_string(kvNoiseModifier::kMaxBytes >> 20) + " MiB at most): it is held at "
                                 + std::to_string(kvNoiseModifier::maxSize()));
    checkKeyword(tag, element);
    checkChildren(tag, element);
}

// Pictures, music and the archive the script names, as the show finds
// them.
void Checker::checkFiles(const std::vector<kvTag*>& roots, const kvDataFile& archive)
{
    std::set<std::string> checked;
    for (const kvTag* tag : roots) {
        const kvElement element = topLevelElement(tag->getName());
        if (element == E::DataFile && !archive.isOpen()) {
            std::vector<uint8_t> probe;
            std::string why;
            error(tag->getLine(), "the archive " + quoted(tag->getText()) + " cannot be opened: "
                                      + (readPictureFile(tag->getText(), nullptr, probe, &why) ? "not a Korvell archive"
                                                                                               : why)
                                      + " (pictures are read from the disk instead)");
        }
        if (element == E::Music || element == E::Playlist) {
            // The later element is the music: its tracks, one after another.
            musicLine = tag->getLine();
            std::vector<std::pair<std::string, int>> tracks;
            if (element == E::Music) tracks.push_back({tag->getText(), tag->getLine()});
            for (const kvTag* track : element == E::Playlist ? children(tag, E::Track) : std::vector<const kvTag*>())
                tracks.push_back({track->getText(), track->getLine()});
            if (element == E::Playlist && tracks.empty()) warn(tag->getLine(), "<playlist> has no <track>: no music plays");
            std::vector<long long> lengths;
            for (const auto& track : tracks) {
                double seconds = 0.0;
                const std::string why = hooks.musicProblem ? hooks.musicProblem(track.first, &seconds) : std::string();
                if (!why.empty()) error(track.second, "music " + quoted(track.first) + ": " + why);
                lengths.push_back(why.empty() ? std::llround(seconds * kOutputRate) : 0);
            }
            const kvPlaylist playlist(lengths, element == E::Playlist ? readNumber(tag, A::PlaylistCrossfade) : 0.0,
                                      0.0);
            musicSeconds = static_cast<double>(playlist.total()) / kOutputRate;
        }
        if (element == E::Video) checkClip(tag);
        if (element != E::Image && element != E::Video) continue;
        for (int n = 1; hooks.undrawable; ++n) {
            const kvTag* line = numberedChild(tag, element == E::Video ? E::VideoLine : E::Line, n);
            if (!line) break;
            const uint32_t cp = hooks.undrawable(line->getText());
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", cp);
            if (cp) warn(line->getLine(), "<" + line->getName() + "> has a character no installed font draws (" + code + ")");
        }
        const kvTag* file = element == E::Image ? child(tag, E::File) : nullptr;
        if (!file || !checked.insert(file->getText()).second) continue;
        std::vector<uint8_t> bytes;
        std::string why;
        if (!readPictureFile(file->getText(), &archive, bytes, &why)) {
            error(file->getLine(), "picture " + quoted(file->getText()) + ": " + why);
            continue;
        }
        std::string warning;
        why = hooks.pictureProblem ? hooks.pictureProblem(bytes, &warning) : std::string();
        if (!why.empty()) error(file->getLine(), "picture " + quoted(file->getText()) + ": " + why);
        else if (!warning.empty()) warn(file->getLine(), "picture " + quoted(file->getText()) + ": " + warning);
    }
}

// A clip: it opens and decodes, its trim lies inside it, its slide's time
// against its length.
void Checker::checkClip(const kvTag* tag)
{
    const kvTag* file = child(tag, E::VideoFile);
    if (!file || !hooks.clipProblem) return;
    kvClipFacts facts;
    const std::string why = clipProblem(file->getText(), &facts);
    if (!why.empty()) {
        error(file->getLine(), "clip " + quoted(file->getText()) + ": " + why);
        return;
    }
    const kvTag* trim = child(tag, E::Trim);
    const double start = readNumber(trim, A::TrimStart), end = readNumber(trim, A::TrimEnd);
    const std::string length = number(std::round(facts.seconds * 100.0) / 100.0) + " s";
    const int trimLine = trim ? trim->getLine() : tag->getLine();
    if (start >= facts.seconds)
        warn(trimLine, "start=\"" + number(start) + "\" is past the end of the clip (" + length
                           + "): its last frame shows, in silence");
    else if (end >= 0.0 && end > facts.seconds + 0.05)
        warn(trimLine, "end=\"" + number(end) + "\" is past the end of the clip (" + length + "): it plays to its end");
    else if (end >= 0.0 && end < start)
        warn(trimLine, "end=\"" + number(end) + "\" is before start=\"" + number(start) + "\": the clip plays from its start on");
    const double last = end >= 0.0 ? std::min(end, facts.seconds) : facts.seconds;
    const double trimmed = std::max(0.0, last - std::min(start, facts.seconds));
    const double time = readNumber(tag, A::VideoTime);
    if (time > trimmed + 0.05)
        note(tag->getLine(), "the slide lasts " + number(time) + " s, the clip " + number(std::round(trimmed * 100.0) / 100.0)
                                 + " s: its last frame is held, in silence");
}

// What the player was given: transitions, pans and zooms, the last slide,
// the show's length against its music's.
void Checker::checkSlides(const std::vector<kvTag*>& roots, const kvPlayer& player, const kvDataFile& archive,
                          const kvRenderer& renderer)
{
    std::vector<const kvTag*> images; // the slides, pictures' and clips'
    for (const kvTag* tag : roots)
        if (topLevelElement(tag->getName()) == E::Image || topLevelElement(tag->getName()) == E::Video)
            images.push_back(tag);
    const int count = player.getItemCount();
    if (count != static_cast<int>(images.size())) return;
    for (int i = 0; i < count; ++i) {
        const kvPlayerItem* item = player.getItem(static_cast<unsigned>(i));
        const int line = images[static_cast<size_t>(i)]->getLine();
        int transition = 0;
        float transitionTime = 0.0f;
        player.transitionInto(static_cast<unsigned>(i), &transition, &transitionTime);
        const char* name = transitionFor(transition).name;
        const float span = i > 0 ? item->endTime - player.getItem(static_cast<unsigned>(i - 1))->endTime : item->endTime;
        if (i > 0 && i + 1 < count && name && transitionTime > span && span > 0.0f)
            warn(line, std::string(name) + " into this slide lasts " + number(transitionTime)
                           + " s, longer than the slide's " + number(span) + " s");
        if (i > 0 && i + 1 == count && (!item->fileName.empty() || !item->lines.empty()))
            warn(line, "the last slide is never shown: the show ends when the slide before it does (end the "
                       "script with an empty <image/> to show this one)");
        // Pan and zoom beyond the picture: the texture coordinates of the
        // image area, at the slide's start and end, against the picture's
        // far coordinates.
        if (item->fileName.empty() || item->duration <= 0.0f || item->clipPart.isClip) continue;
        std::vector<uint8_t> bytes;
        if (!readPictureFile(item->fileName, &archive, bytes, nullptr)) continue;
        const kvPictureInfo info = inspectPicture(bytes.data(), bytes.size());
        if (!info.sound) continue;
        const int fit = player.fitOf(item);
        if (fit != FIT_STRETCH) {
            // Fitted, a pan stops at the picture's edge: say where one is
            // held, on the screen a render makes by default.
            const vector2 area = player.getImageAreaSize();
            float viewW = 1.0f, viewH = 1.0f;
            renderer.getViewSize(&viewW, &viewH);
            const float w = std::fabs(area.x / viewW * kCheckScreenWidth), h = std::fabs(area.y / viewH * kCheckScreenHeight);
            bool held = false;
            for (float p : {0.0f, 1.0f}) {
                const float z = item->zoomOn() ? item->zoomAt(p) : 1.0f;
                held = held || fitGeometry(static_cast<kvFitMode>(fit), w, h, static_cast<float>(info.shownWidth()),
                                           static_cast<float>(info.shownHeight()), z, item->offset.x + p * item->move.x,
                                           item->offset.y + p * item->move.y)
                                   .held;
            }
            if (held)
                warn(line, "the pan and zoom of " + quoted(item->fileName)
                               + " reach past the picture's edge (on a 1920 x 1080 screen): the picture is held there");
            // A region named by hand: kept in every frame of the slide?
            const kvFocus& focus = player.focusOf(item);
            bool kept = true;
            for (float p = 0.0f; focus.mode == FOCUS_REGION && p <= 1.0f; p += 0.125f) {
                const float z = item->zoomOn() ? item->zoomAt(p) : 1.0f;
                kept = kept && fitGeometry(static_cast<kvFitMode>(fit), w, h, static_cast<float>(info.shownWidth()),
                                           static_cast<float>(info.shownHeight()), z, item->offset.x + p * item->move.x,
                                           item->offset.y + p * item->move.y, focus.region)
                                   .focusInside;
            }
            if (!kept)
                warn(line, "the focus of " + quoted(item->fileName)
                               + " cannot be kept in frame by its pan and zoom (on a 1920 x 1080 screen): the region is larger than what the slide shows");
            continue;
        }
        const double farU = static_cast<double>(info.shownWidth()) / bufferSide(info.shownWidth());
        const double farV = static_cast<double>(info.shownHeight()) / bufferSide(info.shownHeight());
        const double eps = 1e-4;
        bool beyond = false;
        for (float p : {0.0f, 1.0f}) {
            const double z = item->zoomOn() ? item->zoomAt(p) : 1.0;
            if (z <= 0.0) {
                beyond = true;
                continue;
            }
            const double u0 = (item->offset.x + p * item->move.x) / z, u1 = (farU + item->offset.x + p * item->move.x) / z;
            const double v0 = (item->offset.y + p * item->move.y) / z, v1 = (farV + item->offset.y + p * item->move.y) / z;
            if (u0 < -eps || v0 < -eps || u1 > farU + eps || v1 > farV + eps) beyond = true;
        }
        if (beyond) warn(line, "the pan and zoom of " + quoted(item->fileName) + " show beyond the picture's edge (black)");
    }
    if (musicSeconds > 0.0 && count > 0) {
        const double creditsSeconds = hooks.creditsSeconds;
        const double show = player.getShowEnd(), whole = show + (credits ? creditsSeconds : 0.0);
        const std::string lasts = "the show lasts " + number(std::round(show)) + " s"
                                  + (credits ? " and its credits " + number(creditsSeconds) + " s" : std::string())
                                  + ", its music " + number(std::round(musicSeconds)) + " s: ";
        if (musicSeconds < show - kMusicSlack)
            warn(musicLine, lasts + "the show goes on in silence after the music");
        else if (musicSeconds < whole - kMusicSlack) // the credits end in silence: as may be meant
            note(musicLine, lasts + "the music ends " + number(std::round(whole - musicSeconds))
                                + " s before the credits do");
        else if (musicSeconds > whole + kMusicSlack)
            warn(musicLine, lasts + "the music is cut off when the " + (credits ? "credits end" : "show ends"));
    }
}

std::vector<kvFinding> Checker::run(const std::string& script)
{
    // The show read as it plays: the same parser, handlers and player,
    // against a renderer that draws nothing and a clock that stands still.
    kvNullRenderer renderer;
    struct NoClock : kvClock {
        float elapsed() const override { return 0.0f; }
        void setElapsed(float) override {}
    } clock;
    kvScriptedShow::Options options;
    options.noise = true;
    options.log = "";
    options.reportProblems = false;
    if (hooks.clipProblem)
        options.probeClip = [this](const std::string& file, kvClipFacts* facts) { return clipProblem(file, facts).empty(); };
    kvScriptedShow show(renderer, clock, options);
    if (!show.parse(script)) {
        error(std::max(1, show.getParser().getErrorLine()), "the script does not parse: " + show.getParser().getErrorText());
        return findings;
    }
    const std::vector<kvTag*>& roots = show.getParser().getRootTags();
    for (const kvTag* tag : roots) {
        const kvElement element = topLevelElement(tag->getName());
        if (element == kvElement::Count) {
            warn(tag->getLine(), "<" + tag->getName() + "> is not a Korvell element and is ignored");
            continue;
        }
        checkElement(tag, element);
        const kvTag* face = element == E::Subtitles ? child(tag, E::Face) : nullptr;
        if (face && hooks.drawnFace) {
            const kvTag* style = child(tag, E::Style);
            const std::string drawn =
                hooks.drawnFace(face->getText(), readFlag(style, A::StyleBold), readFlag(style, A::StyleItalic));
            if (!drawn.empty() && lower(drawn) != lower(face->getText()))
                warn(face->getLine(), "the font face " + quoted(face->getText()) + " is not installed: "
                                          + quoted(drawn) + " will be drawn");
        }
    }
    show.configure();
    int blindLine = 0;
    const std::string blind = show.whyNoPictureIsDrawn(&blindLine);
    if (!blind.empty()) warn(blindLine, blind);
    credits = !hooks.creditsPictures || hooks.creditsPictures(show.getArchive());
    if (!credits)
        note(1, std::string("none of the credits' pictures (credits\\back.jpg and the others) is ")
                    + (show.getArchive().isOpen() ? "in the archive" : "in the script's folder")
                    + ": the show ends after its last slide, without the credits");
    checkFiles(roots, show.getArchive());
    checkSlides(roots, show.getPlayer(), show.getArchive(), renderer);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const kvFinding& a, const kvFinding& b) { return a.line < b.line; });
    return findings;
}

} // namespace

std::vector<kvFinding> checkScript(const std::string& script, const kvCheckHooks& hooks)
{
    Checker checker(hooks);
    return checker.run(script);
}

std::string formatFinding(const std::string& file, const kvFinding& f)
{
    return file + ":" + std::to_string(f.line) + ": " + (f.error ? "error: " : f.note ? "note: " : "warning: ") + f.text;
}

} // namespace Korvell
