// The folder show's script, written in the layout SCRIPTING.md teaches.
#include "script/kvFolderShow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text/kvText.h"

namespace Korvell {

namespace {

uint64_t mix(uint64_t z)
{
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string number(float v)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4g", static_cast<double>(std::fabs(v) < 5e-5f ? 0.0f : v));
    return buffer;
}

// A time on whole milliseconds, exactly.
std::string milliseconds(double seconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", seconds);
    std::string text = buffer;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A caption on one line: line ends and tabs become blanks, runs of
// blanks one, control characters and invalid UTF-8 go.
std::string oneLine(const std::string& text)
{
    std::string out;
    for (unsigned char c : validUtf8(text)) {
        if (c < 0x20 || c == 0x7F) c = ' ';
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += static_cast<char>(c);
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// Text of a comment: "--" cannot appear in one.
std::string commentText(const std::string& text)
{
    std::string out;
    for (char c : oneLine(text)) {
        if (c == '-' && !out.empty() && out.back() == '-') out += ' ';
        out += c;
    }
    if (!out.empty() && out.back() == '-') out += ' ';
    return out;
}

} // namespace

kvSlideMotion slideMotion(size_t n, int width, int height)
{
    const uint64_t h = mix(static_cast<uint64_t>(n) * 2654435761u + 17);
    const float amount = 0.10f + 0.05f * static_cast<float>(h & 0xFFFF) / 65535.0f;
    const bool zoomIn = ((h >> 16) & 1) != 0;
    const float direction = ((h >> 17) & 1) ? 1.0f : -1.0f;
    // The least zoom leaves room to pan: the window is 1/z of the picture,
    // so it can move (1 - 1/z) / 2 either way of the centre.
    const float least = 1.08f;
    const float room = 0.5f * (1.0f - 1.0f / least) * 0.95f;
    kvSlideMotion m;
    m.startZoom = zoomIn ? least : least + amount;
    m.zoomFactor = zoomIn ? 1.0f + amount : 1.0f - amount;
    m.x = m.y = m.moveX = m.moveY = 0.0f;
    const bool wide = width >= height;
    float& start = wide ? m.x : m.y;
    float& move = wide ? m.moveX : m.moveY;
    start = -direction * room;
    move = 2.0f * direction * room;
    return m;
}

kvSlideMotion focusMotion(size_t n)
{
    const uint64_t h = mix(static_cast<uint64_t>(n) * 2654435761u + 17);
    const float amount = 0.10f + 0.05f * static_cast<float>(h & 0xFFFF) / 65535.0f;
    kvSlideMotion m;
    m.x = m.y = m.moveX = m.moveY = 0.0f;
    const bool towards = n % 2 == 0;
    m.startZoom = towards ? 1.0f : 1.0f + amount;
    m.zoomFactor = towards ? 1.0f + amount : 1.0f - amount;
    return m;
}

std::string unwritableName(const std::string& name)
{
    if (validUtf8(name) != name) return "its name is not UTF-8";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "its name holds a control character";
        if (c == '\\') return "its name holds a backslash, which a script reads as a folder separator";
    }
    return std::string();
}

namespace {

// One slide of a folder show: a picture, or a clip (muted: a moment).
struct Slide {
    const kvPhoto* photo;
    bool clip;
    std::string file;
    double seconds; // a clip's fixed length
    bool muted;
};

std::vector<Slide> slidesOf(const std::vector<kvPhoto>& photos, const kvFolderShowOptions& o)
{
    std::vector<Slide> slides;
    for (const kvPhoto& p : photos) {
        if (p.clip) {
            const double length = p.seconds > 0.0 ? std::min<double>(p.seconds, o.clipSeconds) : o.clipSeconds;
            slides.push_back({&p, true, p.path, length, false});
            continue;
        }
        const bool moment = !p.moment.empty() || p.motionPhoto;
        if (moment && o.livePhotosPlay && p.seconds > 0.0)
            slides.push_back({&p, true, p.motionPhoto ? p.path : p.moment, std::min<double>(p.seconds, o.clipSeconds), true});
        slides.push_back({&p, false, p.path, 0.0, false});
    }
    return slides;
}

} // namespace

std::vector<double> folderSlideLengths(const std::vector<kvPhoto>& photos, const kvFolderShowOptions& options)
{
    std::vector<double> lengths;
    for (const Slide& slide : slidesOf(photos, options)) lengths.push_back(slide.clip ? slide.seconds : 0.0);
    return lengths;
}

std::string writeFolderScript(const std::vector<kvPhoto>& photos, const kvFolderShowOptions& o)
{
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (o.comments && !o.madeBy.empty()) s += "<!-- " + commentText(o.madeBy) + " -->\n";
    s += "<korvell>\n";
    // A 16 x 9 view: the captions keep their shape on the usual screen.
    s += "  <viewport x=\"16\" y=\"9\"/>\n";
    s += "  <imagearea>\n    <position x=\"0\" y=\"0\"/>\n    <size width=\"16\" height=\"9\"/>\n  </imagearea>\n";
    s += "  <global>\n    <background r=\"0\" g=\"0\" b=\"0\"/>\n    <fit>" + escaped(o.fit) + "</fit>\n";
    if (o.focus) s += "    <focus>auto</focus>\n";
    s += "  </global>\n";
    if (o.captions) {
        s += "  <subtitles y=\"8.4\" scale=\"0.42\" delay=\"0.5\" margin=\"0\">\n";
        s += "    <face>" + escaped(oneLine(o.face)) + "</face>\n";
        s += "    <color r=\"1\" g=\"1\" b=\"1\"/>\n    <center/>\n  </subtitles>\n";
    }
    if (o.music.size() == 1) s += "  <music>" + escaped(o.music[0]) + "</music>\n";
    if (o.music.size() > 1) {
        s += "  <playlist crossfade=\"" + number(static_cast<float>(o.musicCrossfade)) + "\">\n";
        for (const std::string& track : o.music) s += "    <track>" + escaped(track) + "</track>\n";
        s += "  </playlist>\n";
    }
    const std::vector<Slide> slides = slidesOf(photos, o);
    size_t pictures = 0; // a picture's motion follows the pictures', so clips between change none
    for (size_t n = 0; n < slides.size(); ++n) {
        const Slide& slide = slides[n];
        const kvPhoto& p = *slide.photo;
        if (o.comments && (n == 0 || slides[n - 1].photo != slide.photo)) {
            std::string said = describeTime(p);
            if (!p.moment.empty() && !o.livePhotosPlay)
                said += "; a Live Photo, its moment " + p.moment + " (played first when made with live-photos play)";
            s += "  <!-- " + commentText(said) + " -->\n";
        }
        if (slide.clip) {
            // A clip for its own length (or its first seconds), no pan or zoom.
            s += "  <video time=\"" + milliseconds(slide.seconds) + "\">\n";
            s += "    <file>" + escaped(slide.file) + "</file>\n";
            s += "    <transition time=\"" + number(o.crossfade) + "\">crossfade</transition>\n";
            if (slide.muted) s += "    <sound volume=\"0\"/>\n";
            s += "  </video>\n";
            continue;
        }
        const kvSlideMotion m = o.focus ? focusMotion(pictures) : slideMotion(pictures, p.width, p.height);
        ++pictures;
        const std::string seconds = n < o.times.size() && o.times[n] > 0.0 ? milliseconds(o.times[n]) : number(o.seconds);
        s += "  <image time=\"" + seconds + "\" zoom=\"" + number(m.startZoom) + "\" x=\"" + number(m.x)
             + "\" y=\"" + number(m.y) + "\">\n";
        s += "    <file>" + escaped(p.path) + "</file>\n";
        s += "    <transition time=\"" + number(o.crossfade) + "\">crossfade</transition>\n";
        s += "    <move x=\"" + number(m.moveX) + "\" y=\"" + number(m.moveY) + "\"/>\n";
        s += "    <zoom f=\"" + number(m.zoomFactor) + "\"/>\n";
        const size_t index = static_cast<size_t>(slide.photo - photos.data());
        if (o.focus && index < o.regions.size() && !o.regions[index].empty()) {
            const kvRegion& r = o.regions[index];
            s += "    <focus x=\"" + number(r.x) + "\" y=\"" + number(r.y) + "\" width=\"" + number(r.width)
                 + "\" height=\"" + number(r.height) + "\"/>\n";
        }
        const std::string caption = oneLine(p.caption);
        if (o.captions && !caption.empty()) s += "    <line1>" + escaped(caption) + "</line1>\n";
        s += "  </image>\n";
    }
    // The last slide closes the timeline and is never shown.
    s += "  <image time=\"1\"/>\n</korvell>\n";
    return s;
}

} // namespace Korvell
