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
#include "player/kvPlayer.h"
#include "render/kvNullRenderer.h"
#include "script/kvParser.h"
#include "script/kvTag.h"
#include "script/kvValues.h"

namespace Korvell {

namespace {

enum Kind { NUMBER, INTEGER, FLAG, TIME };

struct AttrRule {
    const char* name;
    Kind kind;
};

struct ElementRule {
    std::vector<AttrRule> attributes;
    std::vector<const char*> children; // "line" stands for line1, line2, ...
    std::vector<const char*> keywords; // the text, when it is a keyword
    const char* whenNotAKeyword;       // what an unknown keyword means
};

// What every handler reads: top-level elements by name, their children as
// "parent/child".
const std::map<std::string, ElementRule>& schema()
{
    static const std::map<std::string, ElementRule> s = {
        {"viewport", {{{"x", NUMBER}, {"y", NUMBER}}, {}, {}, nullptr}},
        {"imagearea", {{}, {"position", "size"}, {}, nullptr}},
        {"imagearea/position", {{{"x", NUMBER}, {"y", NUMBER}}, {}, {}, nullptr}},
        {"imagearea/size", {{{"width", NUMBER}, {"height", NUMBER}}, {}, {}, nullptr}},
        {"global", {{}, {"filter", "background", "imagecolor", "effect"}, {}, nullptr}},
        {"global/filter", {{}, {}, {"bilinear"}, "the noise is drawn unfiltered"}},
        {"global/background", {{{"r", NUMBER}, {"g", NUMBER}, {"b", NUMBER}}, {}, {}, nullptr}},
        {"global/imagecolor", {{{"r", NUMBER}, {"g", NUMBER}, {"b", NUMBER}}, {}, {}, nullptr}},
        {"global/effect", {{{"alpha", NUMBER}, {"size", INTEGER}}, {}, {"noise"}, "no noise is made"}},
        {"subtitles",
         {{{"y", NUMBER}, {"scale", NUMBER}, {"delay", NUMBER}, {"margin", NUMBER}},
          {"face", "style", "color", "center", "effect"},
          {},
          nullptr}},
        {"subtitles/face", {{}, {}, {}, nullptr}},
        {"subtitles/style", {{{"bold", FLAG}, {"italic", FLAG}}, {}, {}, nullptr}},
        {"subtitles/color", {{{"r", NUMBER}, {"g", NUMBER}, {"b", NUMBER}}, {}, {}, nullptr}},
        {"subtitles/center", {{}, {}, {}, nullptr}},
        {"subtitles/effect", {{{"time", NUMBER}}, {}, {"typewriter", "none"}, "the subtitle effect stays as it was"}},
        {"image",
         {{{"time", TIME}, {"x", NUMBER}, {"y", NUMBER}, {"zoom", NUMBER}},
          {"file", "transition", "move", "zoom", "line"},
          {},
          nullptr}},
        {"image/file", {{}, {}, {}, nullptr}},
        {"image/transition",
         {{{"time", NUMBER}}, {}, {"none", "fade", "crossfade"}, "the slide keeps the transition in force"}},
        {"image/move", {{{"x", NUMBER}, {"y", NUMBER}}, {}, {}, nullptr}},
        {"image/zoom", {{{"f", NUMBER}}, {}, {}, nullptr}},
        {"image/line", {{}, {}, {}, nullptr}},
        {"music", {{}, {}, {}, nullptr}},
        {"datafile", {{}, {}, {}, nullptr}},
    };
    return s;
}

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

// "line7" is a subtitle line element; its number, or 0.
int lineNumberOf(const std::string& name)
{
    if (name.compare(0, 4, "line") != 0 || name.size() == 4 || name.size() > 12) return 0;
    if (name[4] == '0') return 0;
    for (size_t i = 4; i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    return std::atoi(name.c_str() + 4);
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
    void checkElement(const kvTag* tag, const std::string& path);
    void checkAttributes(const kvTag* tag, const std::string& path, const ElementRule& rule);
    void checkKeyword(const kvTag* tag, const std::string& path, const ElementRule& rule);
    void checkChildren(const kvTag* tag, const std::string& path, const ElementRule& rule);
    void checkFiles(const std::vector<kvTag*>& roots);
    void checkSlides(const std::vector<kvTag*>& roots, kvPlayer& player);

    const kvCheckHooks& hooks;
    std::vector<kvFinding> findings;
    double musicSeconds = 0.0;
    int musicLine = 0;
};

void Checker::checkAttributes(const kvTag* tag, const std::string& path, const ElementRule& rule)
{
    const std::string element = "<" + tag->getName() + ">";
    std::vector<std::string> known;
    for (const AttrRule& a : rule.attributes) known.push_back(a.name);
    for (const auto& attribute : tag->getAttributes()) {
        const std::string& name = attribute.first;
        const std::string& value = attribute.second;
        const AttrRule* a = nullptr;
        for (const AttrRule& candidate : rule.attributes)
            if (name == candidate.name) a = &candidate;
        if (!a) {
            const std::string guess = closest(name, known);
            warn(tag->getLine(), "attribute " + name + " is not read by " + element + " and has no effect"
                                     + (guess.empty() ? "" : " (" + guess + " was probably meant)"));
            continue;
        }
        const std::string quoted = name + "=" + Korvell::quoted(value);
        if (a->kind == FLAG) {
            if (value != "yes" && lower(trimmed(value)) == "yes")
                warn(tag->getLine(), quoted + " is not the flag yes, so it is off; yes was probably meant");
            continue;
        }
        // As the handlers read it: atof or atoi in the C locale.
        size_t used = 0;
        const double full = parseDecimal(value, &used);
        const bool none = used == 0;
        const std::string rest = value.substr(used);
        const double read = a->kind == INTEGER ? static_cast<double>(parseInt(value)) : static_cast<double>(parseFloat(value));
        if (none) {
            warn(tag->getLine(), quoted + " is not a number: it reads as 0");
        } else if (!trimmed(rest).empty()) {
            warn(tag->getLine(), quoted + " reads only in part, as " + number(read));
        } else if (a->kind == INTEGER && read != full) {
            warn(tag->getLine(), quoted + " reads as the whole number " + number(read));
        } else if (a->kind == TIME && !(full >= 0.0 && full <= FLT_MAX)) {
            warn(tag->getLine(), quoted + (full < 0.0 ? " is negative" : " is not a finite number")
                                     + ": the slide's time is taken as 0");
        }
    }
}

void Checker::checkKeyword(const kvTag* tag, const std::string& path, const ElementRule& rule)
{
    if (rule.keywords.empty()) return;
    const std::string text = tag->getText();
    for (const char* k : rule.keywords)
        if (text == k) return;
    const std::string element = "<" + tag->getName() + ">";
    for (const char* k : rule.keywords) {
        if (lower(trimmed(text)) != k) continue;
        warn(tag->getLine(), element + " " + quoted(text) + " is not the keyword " + k + " (keywords are exact): "
                                 + rule.whenNotAKeyword + "; " + k + " was probably meant");
        return;
    }
    std::string list;
    for (const char* k : rule.keywords) list += (list.empty() ? "" : ", ") + std::string(k);
    warn(tag->getLine(), element + " " + quoted(text) + " is none of " + list + ": " + rule.whenNotAKeyword);
    (void)path;
}

void Checker::checkChildren(const kvTag* tag, const std::string& path, const ElementRule& rule)
{
    std::set<std::string> seen;
    std::set<int> lines;
    for (const kvTag* child : tag->getChildren()) {
        if (child->getName() == "korvell") continue; // transparent only at the top
        const int n = lineNumberOf(child->getName());
        std::string childName = child->getName();
        if (n > 0) childName = "line";
        const bool known = std::find_if(rule.children.begin(), rule.children.end(),
                                        [&](const char* c) { return childName == c; })
                           != rule.children.end();
        const std::string where = "<" + child->getName() + "> inside <" + tag->getName() + ">";
        if (!known) {
            warn(child->getLine(), where + " is not read and has no effect");
            continue;
        }
        if (!seen.insert(child->getName()).second) {
            warn(child->getLine(), "a second " + where + " is not read: only the first counts");
            continue;
        }
        if (n > 0) lines.insert(n);
        checkElement(child, path + "/" + childName);
    }
    // Lines are read from line1 up to the first number missing.
    int expected = 1;
    while (lines.count(expected)) ++expected;
    for (const kvTag* child : tag->getChildren()) {
        const int n = lineNumberOf(child->getName());
        if (n > expected)
            warn(child->getLine(), "<" + child->getName() + "> is not shown: <line" + std::to_string(expected)
                                       + "> is missing, and lines are read in order up to the first gap");
    }
    // Without a face, a subtitles element's other children are not read.
    if (path == "subtitles" && !tag->findChild("face"))
        for (const kvTag* child : tag->getChildren())
            if (child->getName() != "face")
                warn(child->getLine(), "<" + child->getName() + "> inside <subtitles> is not read: it has no <face>");
}

void Checker::checkElement(const kvTag* tag, const std::string& path)
{
    const auto it = schema().find(path);
    if (it == schema().end()) return;
    checkAttributes(tag, path, it->second);
    const int noise = readInt(tag, "size", 0);
    if (path == "global/effect" && noise > kvNoiseModifier::maxSize())
        warn(tag->getLine(), "size=\"" + std::to_string(noise) + "\" is larger than a noise texture may be ("
                                 + std::to_string(kvNoiseModifier::maxSize()) + " pixels, its buffer "
                                 + std::to_string(kvNoiseModifier::kMaxBytes >> 20) + " MiB at most): it is held at "
                                 + std::to_string(kvNoiseModifier::maxSize()));
    checkKeyword(tag, path, it->second);
    checkChildren(tag, path, it->second);
    if (it->second.children.empty())
        for (const kvTag* child : tag->getChildren())
            if (child->getName() != "korvell")
                warn(child->getLine(), "<" + child->getName() + "> inside <" + tag->getName()
                                           + "> is not read and has no effect");
}

// Pictures, music and the archive the script names, as the show would find
// them.
void Checker::checkFiles(const std::vector<kvTag*>& roots)
{
    for (const kvTag* tag : roots) {
        if (tag->getName() == "datafile" && !isDataFileOpen()) {
            std::vector<uint8_t> probe;
            std::string why;
            if (!openDataFile(diskPath(tag->getText())))
                error(tag->getLine(), "the archive " + quoted(tag->getText()) + " cannot be opened: "
                                          + (readPictureFile(tag->getText(), probe, &why) ? "not a Korvell archive" : why)
                                          + " (pictures are read from the disk instead)");
        }
    }
    std::set<std::string> checked;
    for (const kvTag* tag : roots) {
        if (tag->getName() == "music") {
            musicLine = tag->getLine();
            const std::string file = tag->getText();
            double seconds = 0.0;
            const std::string why = hooks.musicProblem ? hooks.musicProblem(file, &seconds) : std::string();
            if (!why.empty())
                error(tag->getLine(), "music " + quoted(file) + ": " + why);
            else
                musicSeconds = seconds;
        }
        if (tag->getName() != "image") continue;
        const kvTag* file = tag->findChild("file");
        if (!file || !checked.insert(file->getText()).second) continue;
        std::vector<uint8_t> bytes;
        std::string why;
        if (!readPictureFile(file->getText(), bytes, &why)) {
            error(file->getLine(), "picture " + quoted(file->getText()) + ": " + why);
            continue;
        }
        why = hooks.pictureProblem ? hooks.pictureProblem(bytes) : std::string();
        if (!why.empty()) error(file->getLine(), "picture " + quoted(file->getText()) + ": " + why);
    }
}

// What the player was given: transitions, pans and zooms, the last slide,
// the show's length against its music's.
void Checker::checkSlides(const std::vector<kvTag*>& roots, kvPlayer& player)
{
    std::vector<const kvTag*> images;
    for (const kvTag* tag : roots)
        if (tag->getName() == "image") images.push_back(tag);
    const int count = player.getItemCount();
    if (count != static_cast<int>(images.size())) return;
    int transition = TRANSITION_NONE;
    float transitionTime = 1.0f;
    for (int i = 0; i < count; ++i) {
        const kvPlayerItem* item = player.getItem(static_cast<unsigned>(i));
        const int line = images[static_cast<size_t>(i)]->getLine();
        if (item->transitionType != TRANSITION_KEEP) {
            transition = item->transitionType;
            transitionTime = item->transitionTime;
        }
        const float span = i > 0 ? item->endTime - player.getItem(static_cast<unsigned>(i - 1))->endTime : item->endTime;
        if (i > 0 && i + 1 < count && (transition == TRANSITION_FADE || transition == TRANSITION_CROSSFADE)
            && transitionTime > span && span > 0.0f)
            warn(line, std::string(transition == TRANSITION_FADE ? "the fade" : "the crossfade") + " into this slide lasts "
                           + number(transitionTime) + " s, longer than the slide's " + number(span) + " s");
        if (i > 0 && i + 1 == count && (!item->fileName.empty() || !item->lines.empty()))
            warn(line, "the last slide is never shown: the show ends when the slide before it does (end the "
                       "script with an empty <image/> to show this one)");
        // Pan and zoom beyond the picture: the texture coordinates of the
        // image area, at the slide's start and end, against the picture's
        // far coordinates.
        if (item->fileName.empty() || item->duration <= 0.0f) continue;
        std::vector<uint8_t> bytes;
        if (!readPictureFile(item->fileName, bytes, nullptr)) continue;
        const kvPictureInfo info = inspectPicture(bytes.data(), bytes.size());
        if (!info.sound) continue;
        const double farU = static_cast<double>(info.shownWidth()) / bufferSide(info.shownWidth());
        const double farV = static_cast<double>(info.shownHeight()) / bufferSide(info.shownHeight());
        const double eps = 1e-4;
        bool beyond = false;
        for (double p : {0.0, 1.0}) {
            const double z = item->zoom != 0.0f ? item->startZoom + (item->zoom - 1.0f) * p : 1.0;
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
    // The show ends with the second-to-last slide (a one-slide show with
    // its only one).
    if (musicSeconds > 0.0 && count > 0) {
        const double show = player.getItem(static_cast<unsigned>(count >= 2 ? count - 2 : 0))->endTime;
        if (std::fabs(show - musicSeconds) > 5.0)
            warn(musicLine, "the show lasts " + number(std::round(show)) + " s and its music "
                                + number(std::round(musicSeconds)) + " s: "
                                + (show < musicSeconds ? "the music plays on into the credits"
                                                       : "the show goes on in silence after the music"));
    }
}

std::vector<kvFinding> Checker::run(const std::string& script)
{
    kvNullRenderer renderer;
    struct NoClock : kvClock {
        float elapsed() const override { return 0.0f; }
        void setElapsed(float) override {}
    } clock;
    kvPlayer player(renderer, clock);
    kvScriptContext context;
    context.player = &player;
    context.noiseEnabled = true;
    kvParser parser(context, "");
    if (!parser.parse(script)) {
        error(std::max(1, parser.getErrorLine()), "the script does not parse: " + parser.getErrorText());
        return findings;
    }
    for (const kvTag* tag : parser.getRootTags()) {
        if (!schema().count(tag->getName())) {
            warn(tag->getLine(), "<" + tag->getName() + "> is not a Korvell element and is ignored");
            continue;
        }
        checkElement(tag, tag->getName());
        if (tag->getName() == "subtitles" && hooks.drawnFace) {
            const kvTag* face = tag->findChild("face");
            if (face) {
                const std::string drawn =
                    hooks.drawnFace(face->getText(), readFlag(tag->findChild("style"), "bold"),
                                    readFlag(tag->findChild("style"), "italic"));
                if (!drawn.empty() && lower(drawn) != lower(face->getText()))
                    warn(face->getLine(), "the font face " + quoted(face->getText()) + " is not installed: "
                                              + quoted(drawn) + " will be drawn");
            }
        }
    }
    checkFiles(parser.getRootTags());
    // The archive stays open (as the show's would) while the player is
    // configured, so what follows sees the same pictures.
    const bool archiveOpen = isDataFileOpen();
    if (archiveOpen) closeDataFile(); // the datafile handler opens it again
    parser.configure();
    checkSlides(parser.getRootTags(), player);
    closeDataFile();
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
    return file + ":" + std::to_string(f.line) + ": " + (f.error ? "error: " : "warning: ") + f.text;
}

} // namespace Korvell
