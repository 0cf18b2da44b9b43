// Bytes as a script: parsed, configured against a player with the
// recording renderer, and played for a few frames at chosen clock times.
// No texture index may be used after it was deleted.
#include <cstdint>
#include <cstdio>

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
    kvRecordingRenderer renderer;
    kvTimer clock(ticks);
    std::string path = fuzzFile(data, size, ".xml");
    {
        kvDataFile archive;
        kvPlayer player(renderer, clock);
        kvScriptContext context;
        context.player = &player;
        context.archive = &archive;
        context.noiseEnabled = true;
        kvParser parser(context, "");
        if (parser.parse(path)) {
            parser.configure();
            player.loadItemTexture(0);
            player.loadItemTexture(1);
            g_now = 0;
            clock.start();
            for (uint32_t t : {0u, 500u, 1500u, 4000u, 10000u, 60000u, 3600000u}) {
                g_now = t;
                if (t == 4000u) player.requestPrevious();
                player.update();
            }
        }
    }
    if (renderer.deadUses != 0) __builtin_trap();
    std::remove(path.c_str());
    return 0;
}
