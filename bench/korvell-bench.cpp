// korvell-bench: what a show costs, each row two figures measured side by
// side in one run (interleaved, medians), so their ratio holds on a noisy
// machine. Prints a Markdown table. Run by `make bench` under its own Xvfb.
//
//   korvell-bench DATA_DIR    (pictures made by bench/make-data.sh)
#include <GL/gl.h>
#include <SDL.h>
#include <exiv2/exiv2.hpp>
#include <expat.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "app/kvBaseGL.h"
#include "export/kvClipDecoderFFmpeg.h"
#include "export/kvYuvConverter.h"
#include "app/kvMemory.h"
#include "app/kvShowSource.h"
#include "app/kvTimer.h"
#include "image/kvDataFile.h"
#include "image/kvFocusFinder.h"
#include "image/kvPictureDecoder.h"
#include "image/kvTexture.h"
#include "image/kvTextureModifier.h"
#include "player/kvFit.h"
#include "player/kvPlayer.h"
#include "render/kvRenderGL.h"
#include "render/kvRenderer.h"
#include "script/kvParser.h"
#include "support/kvColourPictures.h"

using namespace Korvell;

namespace {

// A photo's date taken, written with Exiv2 (its interface hands out
// std::auto_ptr).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
void writeDate(const std::string& path, const char* date)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    image->exifData()["Exif.Photo.DateTimeOriginal"] = std::string(date);
    image->writeMetadata();
}
#pragma GCC diagnostic pop

std::string g_data;
uint32_t g_now = 0;
uint32_t fakeTicks() { return g_now; }

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Row {
    std::string what, a, b;
    double x, y;
    std::string unit;
};
std::vector<Row> g_rows;

// Runs a and b alternately, n times each; records the medians.
void sideBySide(const std::string& what, const std::string& a, const std::function<void()>& fa,
                const std::string& b, const std::function<void()>& fb, int n, const std::string& unit = "ms")
{
    std::vector<double> ta, tb;
    fa();
    fb(); // warm caches and GL state once
    for (int i = 0; i < n; ++i) {
        double t0 = nowMs();
        fa();
        double t1 = nowMs();
        fb();
        double t2 = nowMs();
        ta.push_back(t1 - t0);
        tb.push_back(t2 - t1);
    }
    g_rows.push_back({what, a, b, median(ta), median(tb), unit});
    std::fprintf(stderr, "  %s: %.3f vs %.3f %s\n", what.c_str(), g_rows.back().x, g_rows.back().y, unit.c_str());
}

// Started with posix_spawn rather than fork: a fork would write-protect
// every page of this process, and the next row would pay a page fault for
// each page it writes again.
int runCommand(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

kvBaseGL* openApp(int w, int h, int maxSamples = -1)
{
    kvBaseGL* app = new kvBaseGL();
    app->setMode(w, h, 60, false);
    if (maxSamples >= 0) app->setMaxSamples(maxSamples);
    if (!app->createAppWindow("korvell-bench") || !app->initApi()) {
        std::fprintf(stderr, "korvell-bench: no GL context\n");
        std::exit(1);
    }
    app->showAppWindow(true);
    return app;
}

void closeApp(kvBaseGL* app)
{
    app->releaseApi();
    app->destroyAppWindow();
    delete app;
}

void beginFrame(kvBaseGL* app)
{
    kvRenderer* r = app->getRenderer();
    r->clear();
    r->setupView(app->getClientWidth(), app->getClientHeight());
}

// 1. Slide switches in a show played in real time, frames paced at 60 Hz
// as a display's refresh paces them (the time a frame takes is its work,
// not its wait). Beside it, the same show without decoding ahead and at
// full size, as the show used to run: the picture decoded and uploaded in
// the frame of its switch.
std::string g_glRenderer;

class kvInFrameRenderGL : public kvRenderGL {
public:
    kvTextureIndex loadTexture(const std::string& fileName, int filter, vector2, std::string* reason,
                               kvTextureIndex* blurred) override
    {
        return kvRenderGL::loadTexture(fileName, filter, vector2(), reason, blurred);
    }
    void preloadTextures(const std::vector<kvPreloadRequest>&) override {}
};

double elapsedSeconds()
{
    static const auto t0 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
uint32_t realTicks() { return static_cast<uint32_t>(elapsedSeconds() * 1000.0); }

struct ShowFrames {
    // The median frame; the worst frame within 0.3 s of a switch, for the
    // typical switch (the median over the switches: one frame that the
    // shared machine happened to delay does not decide it) and for the
    // worst; the switch frame itself.
    double median = 0, worstAtSwitch = 0, worstAtAnySwitch = 0, switchFrame = 0;
    // The median frame of the crossfades, which draw both pictures: what a
    // frame at a switch costs without any decoding or upload.
    double medianCrossfade = 0;
    // The control: the worst frame of a stretch as long (0.6 s) in the
    // middle of a slide, away from any switch, over the same slides. On a
    // shared machine any 0.6 s holds a frame the load delayed; what a
    // switch costs is the difference between the two.
    double worstMidSlide = 0;
};

// One frame of the show drawn and finished; its milliseconds since t0.
double showFrame(kvBaseGL* app, kvRenderer& r, kvPlayer& player, double t0)
{
    r.clear();
    r.setupView(app->getClientWidth(), app->getClientHeight());
    player.update();
    app->endFrame();
    glFinish();
    return nowMs() - t0;
}

// A show of `slides` slides of `seconds` each, crossfading, panning and
// zooming, in the app's window; every frame's time and its show time.
ShowFrames playShow(kvBaseGL* app, kvRenderer& r, const std::vector<std::string>& pictures, int slides, float seconds,
                    int fit = FIT_STRETCH)
{
    kvTimer clock(realTicks);
    kvPlayer player(r, clock);
    player.setImageAreaSize(vector2(1, 1));
    player.setFit(fit);
    for (int i = 0; i < slides + 1; ++i) {
        kvPlayerItem* item = player.addImage(pictures[static_cast<size_t>(i) % pictures.size()], seconds,
                                             TRANSITION_CROSSFADE, 0.5f, false);
        item->zoom = 1.1f;
        item->move = vector2(0.02f, 0.0f);
    }
    r.setupView(app->getClientWidth(), app->getClientHeight());
    player.loadItemTexture(0);
    player.loadItemTexture(1);
    player.reserveTextureStorage(); // as the program does before its show
    std::vector<double> all, switches, crossfades;
    std::vector<double> worstPerSwitch(static_cast<size_t>(slides + 2), 0.0);
    std::vector<double> worstPerMiddle(static_cast<size_t>(slides + 2), 0.0);
    clock.start();
    const double frameBudget = 1000.0 / 60.0;
    while (!player.isOver()) {
        const double t0 = nowMs();
        const float showTime = clock.elapsed();
        const unsigned before = player.getNextIndex();
        const double took = showFrame(app, r, player, t0);

        all.push_back(took);
        if (player.getNextIndex() != before && before > 0) switches.push_back(took);
        // Within 0.3 s of a switch, before or after it.
        const float into = std::fmod(showTime, seconds);
        const size_t nearest = static_cast<size_t>(std::lround(showTime / seconds));
        if (nearest >= 1 && nearest < worstPerSwitch.size() && (into < 0.3f || into > seconds - 0.3f))
            worstPerSwitch[nearest] = std::max(worstPerSwitch[nearest], took);
        if (showTime > seconds && into > 0.05f && into < 0.45f) crossfades.push_back(took);
        const size_t slide = static_cast<size_t>(showTime / seconds);
        if (slide >= 1 && slide < worstPerMiddle.size() && std::fabs(into - seconds / 2) < 0.3f)
            worstPerMiddle[slide] = std::max(worstPerMiddle[slide], took);

        if (took < frameBudget) SDL_Delay(static_cast<Uint32>(frameBudget - took));
    }
    ShowFrames f;
    f.median = median(all);
    std::vector<double> seen;
    for (double w : worstPerSwitch)
        if (w > 0) seen.push_back(w);
    f.worstAtSwitch = seen.empty() ? 0 : median(seen);
    f.worstAtAnySwitch = seen.empty() ? 0 : *std::max_element(seen.begin(), seen.end());
    std::vector<double> middles;
    for (double w : worstPerMiddle)
        if (w > 0) middles.push_back(w);
    f.worstMidSlide = middles.empty() ? 0 : median(middles);
    f.switchFrame = switches.empty() ? 0 : median(switches);
    f.medianCrossfade = crossfades.empty() ? 0 : median(crossfades);
    return f;
}

void addRow(const std::string& what, const std::string& a, double x, const std::string& b, double y,
            const std::string& unit = "ms")
{
    g_rows.push_back({what, a, b, x, y, unit});
    std::fprintf(stderr, "  %s: %.3f vs %.3f %s\n", what.c_str(), x, y, unit.c_str());
}

void slideSwitches()
{
    struct Show {
        const char* label;
        std::vector<std::string> pictures;
        int width, height;
    } shows[] = {
        {"1920 x 1080 photos, 1920 x 1080 window",
         {"photo-1920.jpg", "photo-1920b.jpg", "photo-1920c.jpg", "photo-1920d.jpg"}, 1920, 1080},
        {"12-megapixel photos, 640 x 480 window",
         {"photo-4000.jpg", "photo-4000b.jpg", "photo-4000c.jpg", "photo-4000d.jpg"}, 640, 480},
    };
    for (Show& show : shows) {
        for (std::string& p : show.pictures) p = g_data + "/" + p;
        kvBaseGL* app = openApp(show.width, show.height);
        g_glRenderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        ShowFrames ahead = playShow(app, *app->getRenderer(), show.pictures, 20, 1.5f);
        ShowFrames blurred = playShow(app, *app->getRenderer(), show.pictures, 20, 1.5f, FIT_BLUR);
        ShowFrames inFrame;
        {
            kvInFrameRenderGL old;
            inFrame = playShow(app, old, show.pictures, 20, 1.5f);
        }
        const std::string label = std::string("20-slide show of ") + show.label;
        addRow(label + ": switch frame vs median frame", "switch frame", ahead.switchFrame, "median frame",
               ahead.median);
        addRow(label + ": worst frame within 0.3 s of a switch vs median", "worst frame", ahead.worstAtSwitch,
               "median frame", ahead.median);
        addRow(label + ": worst frame within 0.3 s of any switch vs median", "worst frame", ahead.worstAtAnySwitch,
               "median frame", ahead.median);
        addRow(label + ": worst frame within 0.3 s of a switch vs median crossfade frame (both pictures drawn)",
               "worst frame", ahead.worstAtSwitch, "median crossfade frame", ahead.medianCrossfade);
        addRow(label + ": worst frame within 0.3 s of a switch vs worst frame of 0.6 s mid-slide, away from any switch",
               "worst at a switch", ahead.worstAtSwitch, "worst mid-slide", ahead.worstMidSlide);
        addRow(label + ", blur on every slide: switch frame vs median frame", "switch frame", blurred.switchFrame,
               "median frame", blurred.median);
        addRow(label + ", blur on every slide: worst frame within 0.3 s of a switch vs median", "worst frame",
               blurred.worstAtSwitch, "median frame", blurred.median);
        addRow(label + ", blur on every slide: worst frame within 0.3 s of a switch vs worst frame of 0.6 s mid-slide, "
                       "away from any switch",
               "worst at a switch", blurred.worstAtSwitch, "worst mid-slide", blurred.worstMidSlide);
        addRow(label + ", decoded in the frame at full size, no decoding ahead: worst at a switch vs median", "worst frame",
               inFrame.worstAtSwitch, "median frame", inFrame.median);
        closeApp(app);
    }
}

// 1b. Decoding a 4000 x 3000 photo, against djpeg decoding the same file
// (a process of its own, writing to /dev/null).
void decoding()
{
    const std::string file = g_data + "/photo-4000.jpg";
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto decodeAt = [&](int w, int h) {
        return [&bytes, w, h]() {
            kvTexture t;
            if (!decodePicture(bytes, w, h, t, nullptr)) std::abort();
        };
    };
    auto djpeg = [&]() { runCommand({"djpeg", "-outfile", "/dev/null", file}); };
    sideBySide("decode a 4000 x 3000 photo, full size, vs djpeg", "korvell", decodeAt(0, 0), "djpeg", djpeg, 9);
    sideBySide("decode a 4000 x 3000 photo for a 1920 x 1080 window vs djpeg (full size)", "korvell",
               decodeAt(1920, 1080), "djpeg", djpeg, 9);
}

// 1c. A phone's 12-megapixel Display P3 photo decoded for a 1920 x 1080
// screen, its colours converted, against the same file without its profile.
void pictureColour()
{
    std::ifstream in(g_data + "/photo-4032.jpg", std::ios::binary);
    const std::vector<uint8_t> plain((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<uint8_t> p3 = withIccProfile(plain, displayP3Profile());
    auto decode = [](const std::vector<uint8_t>& bytes) {
        return [&bytes]() {
            kvTexture t;
            if (!decodePicture(bytes, 1920, 1080, t, nullptr)) std::abort();
        };
    };
    sideBySide("decode a 12 MP Display P3 photo for a 1920 x 1080 screen: converted to sRGB vs the same without its "
               "profile",
               "converted", decode(p3), "without profile", decode(plain), 15);
}

// 1d. The decoding worker's time for a 12-megapixel portrait for a 1920 x
// 1080 screen: decoded and its faces looked for, against decoded alone.
void focusFinding()
{
    std::ifstream in(g_data + "/faces/1.jpg", std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int faces = 0;
    auto decode = [&bytes, &faces](bool look) {
        return [&bytes, &faces, look]() {
            kvTexture t;
            if (!decodePicture(bytes, 1920, 1080, t, nullptr)) std::abort();
            if (look) faces = findFocus(t).faces;
        };
    };
    sideBySide("the decoding worker on a 12 MP portrait for a 1920 x 1080 screen: decoded and its faces found vs "
               "decoded alone",
               "with faces", decode(true), "decoded alone", decode(false), 9);
    if (faces != 1) std::fprintf(stderr, "  (found %d faces in the portrait, not 1)\n", faces);
}

// 2. A steady frame of the show, and the noise overlay alone.
void steadyFrames()
{
    for (auto size : {std::make_pair(640, 480), std::make_pair(1920, 1080)}) {
        kvBaseGL* app = openApp(size.first, size.second);
        kvRenderer* r = app->getRenderer();
        g_now = 0;
        kvTimer clock(fakeTicks);
        clock.start();
        kvPlayer* player = new kvPlayer(*r, clock);
        player->setViewSize(vector2(10, 10));
        player->setImageAreaSize(vector2(10, 8));
        player->createNoise(128, 128, new kvNoiseModifier(), 1);
        player->setSubtitleScale(0.5f);
        player->setSubtitleY(9.3f);
        player->addFont("Liberation Sans", true, false);
        player->addImage(g_data + "/photo-1920.jpg", 10, TRANSITION_KEEP, 0, false);
        kvPlayerItem* b = player->addImage(g_data + "/photo-1920b.jpg", 10, TRANSITION_CROSSFADE, 100, false);
        b->zoom = 1.2f;
        player->addSubtitleLine(2, "A subtitle row over the picture, typed whole.");
        player->addImage(g_data + "/photo-1920.jpg", 10, TRANSITION_KEEP, 0, false);
        player->loadItemTexture(0);
        player->loadItemTexture(1);
        g_now = 0;
        player->update();
        g_now = 10500; // inside a long crossfade: both pictures, noise and a row
        auto showFrame = [&]() {
            g_now += 1;
            beginFrame(app);
            player->update();
            app->endFrame();
            glFinish();
        };
        auto bareFrame = [&]() {
            r->clear();
            app->endFrame();
            glFinish();
        };
        char label[64];
        std::snprintf(label, sizeof label, "steady frame, %d x %d", size.first, size.second);
        sideBySide(label, "show frame", showFrame, "clear and swap", bareFrame, 60);
        delete player;
        if (size.first == 640) {
            for (int n : {128, 256, 512}) {
                kvTextureIndex noisy = r->createTexture(n, n, 24, 1);
                r->setTextureModifier(noisy, new kvNoiseModifier());
                kvTextureIndex still = r->createTexture(n, n, 24, 1);
                std::snprintf(label, sizeof label, "noise overlay, %d x %d", n, n);
                sideBySide(label, "repaint and upload", [&]() { r->refreshTexture(noisy); glFinish(); },
                           "upload only", [&]() { r->refreshTexture(still); glFinish(); }, 60);
            }
        }
        closeApp(app);
    }
}

// 3. Reading a 10,000-slide script.
void script()
{
    std::string path = g_data + "/long-script.xml";
    std::ostringstream s;
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<korvell>\n<viewport x=\"10\" y=\"10\"/>\n";
    for (int i = 0; i < 10000; ++i)
        s << "  <image time=\"3\" zoom=\"1.1\">\n    <file>pictures/p" << i % 50 << ".jpg</file>\n"
          << "    <transition time=\"1\">crossfade</transition>\n    <move x=\"0.1\" y=\"0\"/>\n"
          << "    <line1>Slide " << i << ", a line of subtitle text in Polish: za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87</line1>\n"
          << "  </image>\n";
    s << "</korvell>\n";
    std::ofstream(path) << s.str();
    kvBaseGL* app = openApp(64, 64);
    kvTimer clock(fakeTicks);
    sideBySide("script of 10,000 slides", "parse and configure", [&]() {
        kvPlayer player(*app->getRenderer(), clock);
        kvScriptContext context;
        context.player = &player;
        kvParser parser(context, "");
        parser.parse(path);
        parser.configure();
    }, "expat alone", [&]() {
        std::ifstream in(path);
        std::stringstream all;
        all << in.rdbuf();
        std::string text = all.str();
        XML_Parser p = XML_ParserCreate("UTF-8");
        XML_Parse(p, text.data(), static_cast<int>(text.size()), 1);
        XML_ParserFree(p);
    }, 7);
    closeApp(app);
}

// 4. Pictures from the archive against the same pictures from the disk.
void archive()
{
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i) names.push_back(g_data + "/small/s" + std::to_string(i) + ".jpg");
    std::string pack = g_data + "/small.kva";
    std::vector<int> order(10000);
    unsigned seed = 12345;
    for (int& o : order) {
        seed = seed * 1103515245u + 12345u;
        o = static_cast<int>((seed >> 16) % 1000);
    }
    auto loadAll = [&](const kvDataFile* from) {
        for (int o : order) {
            kvTexture t(names[static_cast<size_t>(o)], from);
            if (t.getStatus() != 0) std::abort();
        }
    };
    sideBySide("10,000 loads, 1,000 entries", "from the archive", [&]() {
        kvDataFile archive;
        archive.open(pack);
        loadAll(&archive);
    }, "from the disk", [&]() { loadAll(nullptr); }, 3);
}

// 4b. Ordering a camera roll of 2,000 photos and 100 clips by the time
// taken (each one's kind, shape and date read from its headers, then
// sorted), against the floor of reading each file's first 64 KiB and each
// clip's moov box (found from box header to box header, as it ends a
// phone's file).
std::string clipFloor(const std::string& path, std::vector<char>& head)
{
    FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return std::string();
    if (std::fread(head.data(), 1, head.size(), fp) == 0) std::abort();
    std::string moov;
    for (long at = 0;;) {
        unsigned char box[8];
        if (std::fseek(fp, at, SEEK_SET) != 0 || std::fread(box, 1, 8, fp) != 8) break;
        const long size = long(box[0]) << 24 | long(box[1]) << 16 | long(box[2]) << 8 | box[3];
        if (size < 8) break;
        if (std::memcmp(box + 4, "moov", 4) == 0) {
            moov.resize(static_cast<size_t>(size - 8));
            if (std::fread(&moov[0], 1, moov.size(), fp) != moov.size()) std::abort();
            break;
        }
        at += size;
    }
    std::fclose(fp);
    return moov;
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void folderOrder()
{
    char pattern[] = "/tmp/korvell-bench-folder.XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) return;
    // One tagged photo; each copy's date patched in place (same length).
    const std::string first = std::string(dir) + "/tagged.jpg";
    {
        std::ifstream in(g_data + "/photo-1920.jpg", std::ios::binary);
        std::ofstream out(first, std::ios::binary);
        out << in.rdbuf();
    }
    writeDate(first, "2024:05:06 07:08:09");
    const std::string bytes = fileBytes(first);
    const size_t at = bytes.find("2024:05:06 07:08:09");
    std::remove(first.c_str());
    // A phone's clip, its moov at the end; each copy's creation time
    // patched in its mvhd.
    const std::string clip = fileBytes(g_data + "/roll-clip.mp4");
    const size_t mvhd = clip.find("mvhd");
    if (at == std::string::npos || mvhd == std::string::npos || clip.size() < mvhd + 12) return;
    const int photoCount = 2000, clipCount = 100;
    std::vector<std::string> photos, clips;
    for (int i = 0; i < photoCount; ++i) {
        std::string copy = bytes;
        char date[32];
        std::snprintf(date, sizeof date, "2024:%02d:%02d %02d:%02d:%02d", 1 + i * 7 % 12, 1 + i * 13 % 28, i * 5 % 24,
                      i * 11 % 60, i * 17 % 60);
        copy.replace(at, 19, date);
        photos.push_back(std::string(dir) + "/IMG_" + std::to_string(i) + ".jpg");
        std::ofstream(photos.back(), std::ios::binary) << copy;
    }
    for (int i = 0; i < clipCount; ++i) {
        std::string copy = clip;
        const uint32_t created = 3797000000u + static_cast<uint32_t>(i) * 86400u * 3u; // seconds since 1904
        for (int b = 0; b < 4; ++b) copy[mvhd + 8 + b] = static_cast<char>(created >> (24 - 8 * b));
        clips.push_back(std::string(dir) + "/VID_" + std::to_string(i) + ".mp4");
        std::ofstream(clips.back(), std::ios::binary) << copy;
    }
    size_t gathered = 0;
    sideBySide("order a camera roll of 2,000 photos and 100 clips by the time taken (headers, EXIF and moov read, sorted)",
               "korvell", [&]() {
                   kvGatherOptions o;
                   gathered = gatherShow({dir}, o).photos.size();
               },
               "read each file's first 64 KiB and each clip's moov", [&]() {
                   std::vector<char> head(64 * 1024);
                   for (const std::string& f : photos) {
                       FILE* fp = std::fopen(f.c_str(), "rb");
                       if (!fp) continue;
                       if (std::fread(head.data(), 1, head.size(), fp) == 0) std::abort();
                       std::fclose(fp);
                   }
                   for (const std::string& f : clips)
                       if (clipFloor(f, head).empty()) std::abort();
               },
               5);
    if (gathered != photos.size() + clips.size())
        std::fprintf(stderr, "bench: gathered %zu of %zu files\n", gathered, photos.size() + clips.size());
    for (const std::string& f : photos) std::remove(f.c_str());
    for (const std::string& f : clips) std::remove(f.c_str());
    rmdir(dir);
}

long statusKiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return 0;
}

// 5b. Peak memory over a 200-slide show of 1920 x 1080 pictures, in a
// process of its own (--peak): how far the show's peak rises above what the
// process held once its window and GL context were ready.
void peakMemory()
{
    kvBaseGL* app = openApp(1024, 768);
    const long ready = statusKiB("VmRSS:");
    kvRenderer* r = app->getRenderer();
    g_now = 0;
    kvTimer clock(fakeTicks);
    clock.start();
    kvPlayer* player = new kvPlayer(*r, clock);
    player->setImageAreaSize(vector2(1, 1));
    const char* pics[] = {"photo-1920.jpg", "photo-1920b.jpg", "photo-1920c.jpg", "photo-1920d.jpg"};
    for (int i = 0; i < 200; ++i) player->addImage(g_data + "/" + pics[i % 4], 2, TRANSITION_CROSSFADE, 1, false);
    player->loadItemTexture(0);
    player->loadItemTexture(1);
    for (int s = 0; s < 200; ++s)
        for (int ms : {0, 500, 1500}) {
            g_now = static_cast<uint32_t>(s * 2000 + ms);
            beginFrame(app);
            player->update();
            app->endFrame();
        }
    delete player;
    closeApp(app);
    const long peak = statusKiB("VmHWM:");
    // Four resident slides, each a 2048 x 2048 RGB buffer once uploaded.
    double floorMiB = 4.0 * 2048 * 2048 * 3 / (1 << 20);
    g_rows.push_back({"peak memory of a 200-slide show of 1920 x 1080 pictures", "peak above the ready process",
                      "four slide textures", (peak - ready) / 1024.0, floorMiB, "MiB"});
}

// 6. The render's colour conversion of a 1280 x 720 frame: Korvell's own
// against libswscale as the render used it before (bicubic, BT.709).
void colourConversion()
{
    const int w = 1280, h = 720;
    std::vector<uint8_t> bgra(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < bgra.size(); ++i) bgra[i] = static_cast<uint8_t>((i * 7 + i / 4096) & 255);
    std::vector<uint8_t> y(static_cast<size_t>(w) * h), u(y.size() / 4), v(y.size() / 4);
    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(sws, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    const uint8_t* in[1] = {bgra.data()};
    const int inStride[1] = {w * 4};
    uint8_t* out[3] = {y.data(), u.data(), v.data()};
    const int outStride[3] = {w, w / 2, w / 2};
    sideBySide(
        "BGRA to YUV 4:2:0 (BT.709) of a 1280 x 720 frame", "Korvell's converter",
        [&] { bgraToYuv420(bgra.data(), w * 4, w, h, {y.data(), u.data(), v.data(), w, w / 2, w / 2}); }, "libswscale",
        [&] { sws_scale(sws, in, inStride, 0, h, out, outStride); }, 60);
    sws_freeContext(sws);
}

// 7. Clips played live: a clip's slide after a picture, on the real clock,
// each frame drawn and swapped as the live loop does. Frames dropped are
// the clip's frames due in its time that never reached the screen.
struct ClipPlay {
    long long shown = 0, due = 0;
    double median = 0, worstAtStart = 0, worstMid = 0;
    long long peakKiB = 0;
};

long long residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmRSS:") == 0) return std::atoll(line.c_str() + 6);
    return 0;
}

ClipPlay playClip(kvBaseGL* app, const std::string& clip, float seconds)
{
    kvRenderGL& r = static_cast<kvRenderGL&>(*app->getRenderer());
    r.setClipMaker([](std::string*) { return makeClipDecoder(); });
    r.setClipsExact(false);
    kvTimer clock(realTicks);
    kvPlayer player(r, clock);
    player.setImageAreaSize(vector2(1, 1));
    player.addImage(g_data + "/photo-1920.jpg", 1.0f, TRANSITION_NONE, 0.0f, false);
    kvClipPart part;
    part.length = seconds;
    player.addClip(clip, seconds, TRANSITION_NONE, 0.0f, false, part);
    player.addImage("", 1.0f, TRANSITION_KEEP, 0.0f, false);
    r.setupView(app->getClientWidth(), app->getClientHeight());
    player.prepare(0.0f);
    std::vector<double> all, start;
    std::set<long long> seen;
    ClipPlay p;
    const long long before = residentKiB();
    clock.start();
    while (!player.isOver()) {
        const double t0 = nowMs();
        const float showTime = clock.elapsed();
        const double took = showFrame(app, r, player, t0);
        const kvPlayerItem* item = player.getItem(1);
        if (player.getCurrent() == item && item->clip) {
            seen.insert(r.clipFrameShown(item->clip));
            all.push_back(took);
            if (showTime < 1.3f) p.worstAtStart = std::max(p.worstAtStart, took);
            if (std::fabs(showTime - 1.0f - seconds / 2) < 0.3f) p.worstMid = std::max(p.worstMid, took);
            p.peakKiB = std::max(p.peakKiB, residentKiB() - before);
        }
    }
    p.shown = static_cast<long long>(seen.size());
    kvClipFacts facts;
    std::unique_ptr<kvClipDecoder> d = makeClipDecoder();
    std::string why;
    if (d->open(clip, 0, 0, &why)) p.due = std::llround(std::min(static_cast<double>(seconds), d->facts().seconds) * d->facts().rate);
    p.median = median(all);
    return p;
}

// mpv playing the same clip in a window of the same size: the frames it
// dropped, from its own count printed at the end.
long long mpvDropped(const std::string& clip, int w, int h)
{
    const std::string out = g_data + "/mpv-drops.txt";
    // A script of mpv's own tells its counts as it quits.
    const std::string script = g_data + "/mpv-drops.lua";
    std::ofstream(script) << "local vo, dec = 0, 0\n"
                             "mp.observe_property('frame-drop-count', 'number', function(_, v) if v then vo = v end end)\n"
                             "mp.observe_property('decoder-frame-drop-count', 'number', function(_, v) if v then dec = v end end)\n"
                             "mp.register_event('shutdown', function() mp.msg.info('dropped ' .. vo .. ' ' .. dec) end)\n";
    const std::string cmd = "mpv --no-config --no-audio --geometry=" + std::to_string(w) + "x" + std::to_string(h)
                            + "+0+0 --msg-level=all=error,mpv_drops=info --script=" + script + " '" + clip + "' >" + out
                            + " 2>&1";
    if (std::system(cmd.c_str()) != 0) return -1;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("dropped ");
        if (at == std::string::npos) continue;
        std::istringstream counts(line.substr(at + 8));
        long long vo = -1, dec = -1;
        counts >> vo >> dec;
        return vo + dec;
    }
    return -1;
}

void hdrFrames();

void clips()
{
    const std::string hd = g_data + "/clip-1080p30.mp4", uhd = g_data + "/clip-2160p-hevc10.mp4";
    const long long mpv = mpvDropped(hd, 1920, 1080);
    // As a live show's window is made (multisampled as far as the GL goes),
    // and with --samples 0.
    kvBaseGL* app = openApp(1920, 1080);
    g_glRenderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const int samples = app->getSamples();
    ClipPlay p = playClip(app, hd, 10.0f);
    closeApp(app);
    app = openApp(1920, 1080, 0);
    ClipPlay q = playClip(app, hd, 10.0f);
    ClipPlay u = playClip(app, uhd, 5.0f);
    closeApp(app);
    const std::string with = std::to_string(samples) + " samples a pixel";
    addRow("a 1080p 30 fps H.264 clip played live at 1920 x 1080 (" + with + ", the default): frames dropped vs mpv",
           "korvell", static_cast<double>(p.due - p.shown), "mpv", static_cast<double>(mpv), "frames");
    addRow("the same with --samples 0: frames dropped vs mpv", "korvell", static_cast<double>(q.due - q.shown), "mpv",
           static_cast<double>(mpv), "frames");
    addRow("the same, median frame: " + with + " vs --samples 0", with, p.median, "--samples 0", q.median);
    addRow("the same (--samples 0): worst frame within 0.3 s of the clip's start vs the median frame",
           "worst at its start", q.worstAtStart, "median", q.median);
    addRow("the same: worst frame within 0.3 s of the clip's start vs the worst of 0.6 s mid-clip (a frame that "
           "uploads a new clip frame)",
           "worst at its start", q.worstAtStart, "worst mid-clip", q.worstMid);
    addRow("the same: resident memory while it plays (five frames at most, 8 MiB each) vs one 1920 x 1080 frame", "peak",
           q.peakKiB / 1024.0, "one frame", 1922.0 * 1082 * 4 / 1048576.0, "MiB");
    addRow("a 2160p HEVC 10-bit clip (as a phone records) played live at 1920 x 1080 (--samples 0): frames shown vs due",
           "shown", static_cast<double>(u.shown), "due", static_cast<double>(u.due), "frames");
    addRow("the same: resident memory while it plays vs one 1920 x 1080 frame", "peak", u.peakKiB / 1024.0, "one frame",
           1922.0 * 1082 * 4 / 1048576.0, "MiB");
    // Decoding alone, as fast as it goes, against ffmpeg's own decoder.
    auto decodeAll = [](const std::string& clip, int w, int h) {
        return [clip, w, h]() {
            std::unique_ptr<kvClipDecoder> d = makeClipDecoder();
            std::string why;
            if (!d->open(clip, w, h, &why)) std::abort();
            kvClipFrame f;
            while (d->next(f, &why)) {
            }
        };
    };
    auto ffmpegDecode = [](const std::string& clip) {
        return [clip]() { runCommand({"ffmpeg", "-v", "error", "-i", clip, "-f", "null", "-"}); };
    };
    sideBySide("decode the 2160p HEVC 10-bit clip (5 s) for a 1920 x 1080 screen vs ffmpeg decoding it alone", "korvell",
               decodeAll(uhd, 1920, 1080), "ffmpeg", ffmpegDecode(uhd), 3);
    sideBySide("decode the 1080p H.264 clip (10 s) at its size vs ffmpeg decoding it alone", "korvell",
               decodeAll(hd, 0, 0), "ffmpeg", ffmpegDecode(hd), 3);
    hdrFrames();
}

// A phone's 10-bit HLG clip in BT.2020, 60 frames at 1080p: decoded and
// tone-mapped per frame, against the same stream tagged SDR BT.709 (its
// frames converted straight to RGBA).
void hdrFrames()
{
    const std::string hlg = g_data + "/clip-1080p-hlg.mp4", sdr = g_data + "/clip-1080p-hlg-as-sdr.mp4";
    auto perFrame = [](const std::string& clip) {
        std::unique_ptr<kvClipDecoder> d = makeClipDecoder();
        std::string why;
        if (!d->open(clip, 1920, 1080, &why)) std::abort();
        kvClipFrame f;
        int frames = 0;
        const double t0 = nowMs();
        while (d->next(f, &why)) ++frames;
        return frames ? (nowMs() - t0) / frames : 0.0;
    };
    std::vector<double> a, b;
    for (int i = 0; i < 3; ++i) {
        a.push_back(perFrame(hlg));
        b.push_back(perFrame(sdr));
    }
    addRow("a 10-bit HLG BT.2020 clip at 1080p, decoded, converted and tone-mapped: per frame vs the same stream "
           "tagged SDR BT.709",
           "HLG, tone-mapped", median(a), "tagged SDR", median(b));
}

} // namespace

int main(int argc, char** argv)
{
    allocateLargeBlocksFromTheSystem(); // as korvell's main does
    if (argc < 2) {
        std::fprintf(stderr, "usage: korvell-bench DATA_DIR [ROWS-FILE [--peak | --switches | --steady | --script | --clips | --folder | --colour | --faces]]\n");
        return 2;
    }
    g_data = argv[1];
    const bool peakOnly = argc > 3 && std::string(argv[3]) == "--peak";
    std::fprintf(stderr, "measuring...\n");
    if (peakOnly) {
        peakMemory();
    } else if (argc > 3 && std::string(argv[3]) == "--switches") {
        slideSwitches();
    } else if (argc > 3 && std::string(argv[3]) == "--steady") {
        steadyFrames();
    } else if (argc > 3 && std::string(argv[3]) == "--clips") {
        clips();
    } else if (argc > 3 && std::string(argv[3]) == "--script") {
        script();
    } else if (argc > 3 && std::string(argv[3]) == "--folder") {
        folderOrder();
    } else if (argc > 3 && std::string(argv[3]) == "--faces") {
        focusFinding();
    } else if (argc > 3 && std::string(argv[3]) == "--colour") {
        pictureColour();
        colourConversion();
        hdrFrames();
    } else {
        decoding();
        pictureColour();
        focusFinding();
        slideSwitches();
        steadyFrames();
        script();
        archive();
        folderOrder();
        colourConversion();
    }
    FILE* out = argc > 2 ? std::fopen(argv[2], "a") : stdout;
    if (!peakOnly) std::fprintf(out, "renderer: %s\n", g_glRenderer.c_str());
    for (const Row& row : g_rows)
        std::fprintf(out, "| %s | %s: %.3f %s | %s: %.3f %s | %.2f |\n", row.what.c_str(), row.a.c_str(), row.x,
                     row.unit.c_str(), row.b.c_str(), row.y, row.unit.c_str(), row.y > 0 ? row.x / row.y : 0.0);
    if (out != stdout) std::fclose(out);
    return 0;
}
