// Clips on the real renderer with FFmpeg's decoder: a clip of three one-
// second colour segments (red, green, blue; made here with ffmpeg) played
// by the player on a stepped clock as a render plays it, each frame read
// back: the segment due at each time (after a trimmed start, through a
// crossfade from a picture, held at its end), after a jump back, and a
// clip turned by its display matrix shown upright.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "app/kvTimer.h"
#include "export/kvClipDecoderFFmpeg.h"
#include "player/kvFit.h"
#include "player/kvPlayer.h"
#include "render/kvRenderGL.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

class ClipsGL : public PlayerGLTest {
protected:
    int clientWidth() const override { return 64; }
    int clientHeight() const override { return 36; }
    static void SetUpTestSuite()
    {
        // (Each test runs in a process of its own, side by side: a folder each.)
        dir = scratchDir("clips-gl-" + std::to_string(getpid()));
        // Three segments at 10 frames a second, a keyframe every half second;
        // the same turned a quarter by its display matrix.
        const std::string make =
            "cd '" + dir + "' && ffmpeg -v error -y -f lavfi -i 'color=c=red:s=160x90:r=10:d=1[r];"
            "color=c=lime:s=160x90:r=10:d=1[g];color=c=blue:s=160x90:r=10:d=1[b];[r][g][b]concat=n=3:v=1:a=0,"
            "drawbox=x=0:y=0:w=40:h=45:color=yellow:t=fill,format=yuv420p' -c:v libx264 -g 5 segments.mp4"
            " && ffmpeg -v error -y -i segments.mp4 -c copy -metadata:s:v:0 rotate=90 turned.mp4"
            " && convert -size 16x16 xc:white white.jpg";
        made = std::system(make.c_str()) == 0;
    }
    void SetUp() override
    {
        PlayerGLTest::SetUp();
        if (IsSkipped()) return;
        if (!made) GTEST_SKIP() << "ffmpeg could not make the clips";
        gl = static_cast<kvRenderGL*>(renderer);
        gl->setClipMaker([](std::string*) { return makeClipDecoder(); });
        gl->setClipsExact(true);
    }
    // The colour at the middle of the right half (away from the yellow mark).
    std::string colourAt(int x = 48, int y = 18)
    {
        uint8_t p[3];
        readPixel(x, y, p);
        auto level = [](uint8_t v) { return v > 200 ? 'H' : v < 55 ? 'L' : 'M'; };
        return {level(p[0]), level(p[1]), level(p[2])};
    }
    kvClipPart part(double start) const
    {
        kvClipPart p;
        p.trimStart = start;
        p.length = 3.0 - start;
        return p;
    }
    static std::string dir;
    static bool made;
    kvRenderGL* gl = nullptr;
};

std::string ClipsGL::dir;
bool ClipsGL::made = false;

const std::string kRed = "HLL", kGreen = "LHL", kBlue = "LLH", kWhite = "HHH";

} // namespace

TEST_F(ClipsGL, EachFrameShowsTheSegmentDueAtItsTime)
{
    // A white picture for 2 s, then the clip from 0.5 s into it for 4 s,
    // entering by a crossfade of 0.2 s: 2.5 s of clip, then its last frame.
    player->addImage(dir + "/white.jpg", 2, TRANSITION_NONE, 0, false);
    player->addClip(dir + "/segments.mp4", 4, TRANSITION_CROSSFADE, 0.2f, false, part(0.5));
    player->addImage("", 1, TRANSITION_KEEP, 0, false);
    player->prepare(0.0f);
    struct Probe {
        double t;
        std::string colour;
    } probes[] = {
        {0.5, kWhite},
        {2.05, "HMM"}, // the crossfade's start: mostly white over the clip's red (0.55 s)
        {2.3, kRed},   // 0.8 s in the clip, past the crossfade
        {3.0, kGreen}, // 1.5 s: green
        {4.4, kBlue},  // 2.9 s: blue
        {5.5, kBlue},  // past its end: its last frame, held
        {2.2, kRed},   // back: 0.7 s in the clip
        {3.45, kGreen},
    };
    // While the picture shows, the clip is opened ahead and its first frame
    // put in its texture: the clip's first frame has nothing left to wait for.
    for (double t = 0.1; t < 1.5 && !gl->clipFrameShown(player->getItem(1)->clip); t += 0.1) {
        frameAt(t);
        EXPECT_EQ(colourAt(), kWhite) << "at " << t;
    }
    EXPECT_GT(gl->clipFrameShown(player->getItem(1)->clip), 0) << "the clip's first frame was not ready ahead";
    // Without a VAAPI device (this machine), decoded in software on threads.
    const std::string decoding = gl->clipStream(player->getItem(1)->clip)->decoding();
    if (access("/dev/dri/renderD128", F_OK) != 0) {
        EXPECT_EQ(decoding.rfind("software, ", 0), 0u) << decoding;
    }
    for (const Probe& p : probes) {
        frameAt(p.t);
        if (p.colour == "HMM") {
            uint8_t px[3];
            readPixel(48, 18, px);
            EXPECT_GT(px[0], 200) << "at " << p.t;
            EXPECT_GT(px[1], 120) << "at " << p.t << ": the white leaving";
            continue;
        }
        EXPECT_EQ(colourAt(), p.colour) << "at " << p.t;
    }
    // The yellow mark at the top left of every segment: upright, in place.
    frameAt(3.0);
    EXPECT_EQ(colourAt(6, 4), "HHL");
    EXPECT_EQ(colourAt(6, 30), kGreen);
}

TEST_F(ClipsGL, ATurnedClipShowsUpright)
{
    // Turned a quarter: 90 x 160 as shown, the mark at the bottom left.
    player->setFit(FIT_CONTAIN);
    player->addClip(dir + "/turned.mp4", 3, TRANSITION_NONE, 0, false, part(0.0));
    player->addImage("", 1, TRANSITION_KEEP, 0, false);
    player->prepare(0.0f);
    frameAt(0.5);
    int w = 0, h = 0;
    float u = 0, v = 0;
    ASSERT_TRUE(renderer->textureSize(player->getItem(0)->texture, &w, &h, &u, &v));
    EXPECT_NEAR(static_cast<double>(w) / h, 9.0 / 16.0, 0.02) << w << " x " << h;
    // Contained in 64 x 36: a column some 20 pixels wide in the middle.
    EXPECT_EQ(colourAt(32, 4), kRed);      // its top: the frame's right side
    EXPECT_EQ(colourAt(26, 33), "HHL");    // its bottom left: the mark
    EXPECT_EQ(colourAt(4, 18), "LLL");     // beside it: nothing
}

TEST_F(ClipsGL, AClipThatCannotBeShownIsNamedOnceAndShowsNothing)
{
    writeFile(dir + "/broken.mp4", "not a clip at all");
    std::vector<std::string> told;
    player->setProblemReporter([&told](const std::string& line) { told.push_back(line); });
    player->addClip(dir + "/broken.mp4", 2, TRANSITION_NONE, 0, false, part(0.0));
    player->addImage("", 1, TRANSITION_KEEP, 0, false);
    player->prepare(0.0f);
    for (double t : {0.1, 0.5, 1.0}) {
        frameAt(t);
        EXPECT_EQ(colourAt(), "LLL") << "at " << t;
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("Clip \"" + dir + "/broken.mp4\" cannot be shown: cannot be decoded", 0), 0u) << told[0];
}
