// korvell-bench: what a show costs, each row two figures measured side by
// side in one run (interleaved, medians), so their ratio holds on a noisy
// machine. Prints a Markdown table. Run by `make bench` under its own Xvfb.
//
//   korvell-bench DATA_DIR    (pictures made by bench/make-data.sh)
#include <GL/gl.h>
#include <SDL.h>
#include <expat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/kvBaseGL.h"
#include "app/kvTimer.h"
#include "image/kvDataFile.h"
#include "image/kvTexture.h"
#include "image/kvTextureModifier.h"
#include "player/kvPlayer.h"
#include "render/kvRenderer.h"
#include "script/kvParser.h"

using namespace Korvell;

namespace {

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

int runCommand(const std::vector<std::string>& args)
{
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

kvBaseGL* openApp(int w, int h)
{
    kvBaseGL* app = new kvBaseGL();
    app->setMode(w, h, 60, false);
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

// 1. The frame in which a slide becomes current.
std::string g_glRenderer;

void slideSwitch()
{
    kvBaseGL* app = openApp(1024, 768);
    kvRenderer* r = app->getRenderer();
    g_glRenderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    r->setViewSize(1, 1);
    int shown = r->loadTexture(g_data + "/photo-1920.jpg", 1);
    auto plainFrame = [&]() {
        beginFrame(app);
        r->bindTexture(shown);
        r->drawQuad(vector2(0, 0), vector2(1, 1));
        glFinish();
    };
    for (const char* name : {"photo-1920.jpg", "photo-4000.jpg"}) {
        std::string file = g_data + "/" + name;
        auto switchFrame = [&]() {
            kvTextureIndex t = r->loadTexture(file, 1);
            r->releaseTextureData(t);
            beginFrame(app);
            r->bindTexture(t);
            r->drawQuad(vector2(0, 0), vector2(1, 1));
            glFinish();
            r->deleteTexture(t);
        };
        std::string label = std::string("slide switch, ") + (name[6] == '1' ? "1920 x 1080" : "4000 x 3000");
        sideBySide(label + " vs djpeg", "switch frame", switchFrame, "djpeg decode",
                   [&]() { runCommand({"djpeg", "-outfile", "/dev/null", file}); }, 9);
        sideBySide(label + " vs plain frame", "switch frame", switchFrame, "frame without switch", plainFrame, 9);
    }
    closeApp(app);
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
        kvParser parser(context, "/dev/null");
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
    auto loadAll = [&]() {
        for (int o : order) {
            kvTexture t(names[static_cast<size_t>(o)]);
            if (t.getStatus() != 0) std::abort();
        }
    };
    sideBySide("10,000 loads, 1,000 entries", "from the archive", [&]() {
        openDataFile(pack);
        loadAll();
        closeDataFile();
    }, "from the disk", loadAll, 3);
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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: korvell-bench DATA_DIR [ROWS-FILE [--peak]]\n");
        return 2;
    }
    g_data = argv[1];
    const bool peakOnly = argc > 3 && std::string(argv[3]) == "--peak";
    std::fprintf(stderr, "measuring...\n");
    if (peakOnly) {
        peakMemory();
    } else {
        slideSwitch();
        steadyFrames();
        script();
        archive();
    }
    FILE* out = argc > 2 ? std::fopen(argv[2], "a") : stdout;
    if (!peakOnly) std::fprintf(out, "renderer: %s\n", g_glRenderer.c_str());
    for (const Row& row : g_rows)
        std::fprintf(out, "| %s | %s: %.3f %s | %s: %.3f %s | %.2f |\n", row.what.c_str(), row.a.c_str(), row.x,
                     row.unit.c_str(), row.b.c_str(), row.y, row.unit.c_str(), row.y > 0 ? row.x / row.y : 0.0);
    if (out != stdout) std::fclose(out);
    return 0;
}
