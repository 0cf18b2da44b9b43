// A long show on a real GL context: 1000 small slides, a few seconds each,
// stepped by a test clock, with noise. At most four slide textures (plus the
// noise and two pictures decoded ahead) are ever resident, GL reports no
// error, and resident memory stops growing after the first few dozen slides.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <fstream>

#include "app/kvMessages.h"
#include "app/kvTimer.h"
#include "image/kvTextureContainer.h"
#include "player/kvPlayer.h"
#include "script/kvParser.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

long residentKiB()
{
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * 4;
}

class LongShow : public GLTest {};

} // namespace

TEST_F(LongShow, ThousandSlidesKeepTexturesAndMemoryBounded)
{
    const int slides = 1000;
    std::string dir = scratchDir("long");
    std::string script = "<korvell>\n<viewport x=\"10\" y=\"10\"/>\n"
                         "<imagearea><position x=\"0\" y=\"0\"/><size width=\"10\" height=\"10\"/></imagearea>\n"
                         "<global><effect size=\"64\" alpha=\"0.3\">noise</effect></global>\n"
                         "<subtitles scale=\"0.5\" y=\"9\"><face>Liberation Sans</face></subtitles>\n";
    const char* pictures[] = {"red64.jpg", "blue64.jpg", "column64.jpg", "quadrants.jpg", "one.jpg"};
    const char* transitions[] = {"none", "fade", "crossfade"};
    for (int i = 0; i < slides; ++i) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "<image time=\"3\"><file>%s</file><transition time=\"1\">%s</transition>"
                      "<move x=\"0.1\"/><line1>Slide %d of the long show</line1></image>\n",
                      fixture(pictures[i % 5]).c_str(), transitions[i % 3], i + 1);
        script += line;
    }
    script += "</korvell>\n";
    writeFile(dir + "/long.xml", script);

    kvFakeClock::now = 0;
    kvTimer clock(kvFakeClock::ticks);
    clock.start();
    kvPlayer* player = new kvPlayer(*renderer, clock);
    kvScriptContext context;
    context.player = player;
    context.noiseEnabled = true;
    kvParser parser(context, dir + "/xmlparse.log");
    ASSERT_TRUE(parser.parse(dir + "/long.xml"));
    parser.configure();
    ASSERT_EQ(player->getItemCount(), slides);
    ASSERT_NE(player->getNoiseTexture(), kvTextureIndex(0));
    player->loadItemTexture(0);
    player->loadItemTexture(1);

    int most = 0, mostSlides = 0;
    long early = 0, late = 0, peak = 0;
    bool ended = false;
    for (int s = 0; s < slides && !ended; ++s) {
        for (double at : {0.0, 0.5, 1.5, 2.9}) {
            kvFakeClock::setSeconds(3.0 * s + at);
            beginFrame();
            player->update();
            app->endFrame();
            ended = player->isOver();
        }
        most = std::max(most, glTextureCount());
        int held = 0;
        for (kvTextureIndex t : player->getLoadedTextures()) held += t ? 1 : 0;
        mostSlides = std::max(mostSlides, held);
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "slide " << s;
        if (s == 60) early = residentKiB();
        if (s > 60) peak = std::max(peak, residentKiB());
    }
    late = residentKiB();
    EXPECT_TRUE(ended);
    EXPECT_EQ(player->getCurrent(), player->getItem(slides - 2));
    EXPECT_LE(mostSlides, 4); // the residency rule
    // Four slide textures, the noise, the two pictures decoded ahead and
    // one deleted texture's storage kept for the next.
    EXPECT_LE(most, 8);
    std::printf("resident memory: %ld KiB at slide 60, peak %ld KiB after it, %ld KiB at the end\n", early, peak,
                late);
#ifndef __SANITIZE_ADDRESS__
    // (AddressSanitizer holds freed memory back in quarantine, so there the
    // resident size says nothing of the program's.)
    EXPECT_LT(peak - early, 8 * 1024) << "resident memory grew by " << (peak - early) << " KiB";
#endif
    delete player;
}
