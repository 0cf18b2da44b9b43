// Bytes as a script: parsed, configured against a player with the
// recording renderer, and played for a few frames at chosen clock times.
#include <cstdint>
#include <cstdio>

#include "app/kvBaseGL.h"
#include "app/kvTimer.h"
#include "image/kvDataFile.h"
#include "kvFuzzFile.h"
#include "player/kvPlayer.h"
#include "script/kvParser.h"
#include "support/kvRecordingRenderer.h"

using namespace Korvell;

namespace {
uint32_t g_now = 0;
uint32_t ticks() { return g_now; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static kvBaseGL* app = [] {
        kvBaseGL* a = new kvBaseGL(nullptr);
        g_app = a;
        kvTimer::setTickSource(ticks);
        return a;
    }();
    kvRecordingRenderer renderer;
    app->setRenderer(&renderer);
    g_noiseEnabled = true;
    std::string path = fuzzFile(data, size, ".xml");
    {
        kvPlayer player;
        kvParser parser(&player, "/dev/null");
        if (parser.parse(path)) {
            parser.configure();
            player.loadItemTexture(0);
            player.loadItemTexture(1);
            g_now = 0;
            g_timer.stop();
            g_timer.start();
            for (uint32_t t : {0u, 500u, 1500u, 4000u, 10000u, 60000u, 3600000u}) {
                g_now = t;
                g_previousRequested = t == 4000u;
                player.update();
            }
        }
    }
    closeDataFile();
    app->setRenderer(nullptr);
    std::remove(path.c_str());
    return 0;
}
