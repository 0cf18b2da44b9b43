// The video export's parts without a display: the encoder given synthetic
// frames (read back with ffprobe and ffmpeg), the stepped frame loop with
// the recording renderer and a recording sink, and the subtitle cues.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "app/kvTimer.h"
#include "export/kvRenderLoop.h"
#include "export/kvSteppedClock.h"
#include "export/kvSubtitleCues.h"
#include "export/kvVideoEncoder.h"
#include "player/kvPlayer.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

std::string run(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

// The RGB of the pixel (x, y) of the frame at `seconds` of a video.
// (`convert`: how ffmpeg turns the frame into RGB, after the crop.)
std::vector<int> pixelAt(const std::string& video, double seconds, int x, int y, const std::string& convert = "")
{
    std::ostringstream cmd;
    cmd << "ffmpeg -v error -ss " << seconds << " -i '" << video << "' -frames:v 1 -vf crop=2:2:" << x << ":" << y
        << convert << " -f rawvideo -pix_fmt rgb24 - 2>/dev/null";
    const std::string bytes = run(cmd.str());
    if (bytes.size() < 3) return {};
    return {static_cast<uint8_t>(bytes[0]), static_cast<uint8_t>(bytes[1]), static_cast<uint8_t>(bytes[2])};
}

// Records frames' first pixels, in order.
struct RecordingSink : kvVideoSink {
    std::vector<uint32_t> firstPixels;
    bool addFrame(const uint8_t* bgra, int) override
    {
        firstPixels.push_back(static_cast<uint32_t>(bgra[0]) | (static_cast<uint32_t>(bgra[1]) << 8));
        return true;
    }
};

// Hands out frames one behind, as the GL reader does; each frame's
// "pixels" are its number.
struct CountingGrabber : kvFrameGrabber {
    uint32_t drawn = 0, queued = 0;
    bool any = false;
    uint8_t bytes[4] = {0, 0, 0, 0};
    const uint8_t* previous(int* stride) override
    {
        *stride = 4;
        if (!any) return nullptr;
        any = false;
        bytes[0] = static_cast<uint8_t>(queued);
        bytes[1] = static_cast<uint8_t>(queued >> 8);
        return bytes;
    }
    void queue() override
    {
        queued = drawn++;
        any = true;
    }
    const uint8_t* flush(int* stride) override { return previous(stride); }
};

} // namespace

TEST(VideoEncoder, SyntheticFramesInEveryContainer)
{
    const std::string dir = scratchDir("encode");
    for (const char* name : {"out.mp4", "out.mkv", "out.webm"}) {
        kvVideoSettings s;
        s.path = dir + "/" + name;
        s.container = containerFor(name);
        s.width = 160;
        s.height = 120;
        s.fps = 10;
        long long played = 0;
        s.audio = [&played](float* stereo, int frames) {
            for (int i = 0; i < frames; ++i, ++played)
                stereo[2 * i] = stereo[2 * i + 1] = 0.3f * static_cast<float>(std::sin(2 * M_PI * 440 * played / 48000.0));
        };
        kvVideoEncoder encoder;
        std::string error;
        ASSERT_TRUE(encoder.open(s, &error)) << name << ": " << error;
        EXPECT_TRUE(encoder.hasAudio());
        // One second red, one second blue, one second of a saturated sky
        // blue, rows given bottom up (a negative stride, as the GL reads
        // them).
        const uint8_t colours[3][3] = {{255, 0, 0}, {0, 0, 255}, {51, 153, 230}};
        std::vector<uint8_t> frame(160 * 120 * 4, 255);
        for (int n = 0; n < 30; ++n) {
            const uint8_t* rgb = colours[n / 10];
            for (size_t i = 0; i < frame.size(); i += 4) {
                frame[i] = rgb[2]; // BGRA
                frame[i + 1] = rgb[1];
                frame[i + 2] = rgb[0];
            }
            ASSERT_TRUE(encoder.addFrame(frame.data() + 119 * 160 * 4, -160 * 4));
        }
        ASSERT_TRUE(encoder.finish(&error)) << name << ": " << error;
        const std::string probe = run("ffprobe -v error -count_frames -select_streams v -show_entries "
                                      "stream=nb_read_frames,codec_name -of csv=p=0 '" + s.path + "'");
        EXPECT_NE(probe.find(s.container == "webm" ? "vp9" : "h264"), std::string::npos) << probe;
        EXPECT_NE(probe.find(",30"), std::string::npos) << name << ": " << probe;
        // Declared BT.709, limited range, and converted so: ffmpeg's own
        // BT.709 conversion gives the colour back within 2 levels.
        const std::string tags = run("ffprobe -v error -select_streams v -show_entries "
                                     "stream=color_space,color_primaries,color_transfer,color_range -of csv=p=0 '"
                                     + s.path + "'");
        EXPECT_EQ(tags, "tv,bt709,bt709,bt709\n") << name;
        const std::vector<int> sky =
            pixelAt(s.path, 2.55, 80, 60, ",scale=in_color_matrix=bt709:in_range=limited:out_range=full");
        ASSERT_EQ(sky.size(), 3u) << name;
        EXPECT_NEAR(sky[0], 51, 2) << name;
        EXPECT_NEAR(sky[1], 153, 2) << name;
        EXPECT_NEAR(sky[2], 230, 2) << name;
        const std::string audio = run("ffprobe -v error -select_streams a -show_entries stream=codec_name,duration "
                                      "-of csv=p=0 '" + s.path + "'");
        EXPECT_NE(audio.find(s.container == "webm" ? "opus" : "aac"), std::string::npos) << audio;
        std::vector<int> red = pixelAt(s.path, 0.45, 80, 60), blue = pixelAt(s.path, 1.55, 80, 60);
        ASSERT_EQ(red.size(), 3u) << name;
        ASSERT_EQ(blue.size(), 3u) << name;
        EXPECT_NEAR(red[0], 255, 8) << name;
        EXPECT_NEAR(red[2], 0, 8) << name;
        EXPECT_NEAR(blue[2], 255, 8) << name;
        EXPECT_NEAR(blue[0], 0, 8) << name;
    }
}

// No GPU here: a hardware encoder asked for is tried, and x264 encodes
// instead, with a note that says why.
TEST(VideoEncoder, AHardwareEncoderThatCannotOpenFallsBackToX264)
{
    const std::string dir = scratchDir("hardware");
    for (const char* hardware : {"vaapi", "nvenc"}) {
        kvVideoSettings s;
        s.path = dir + "/" + hardware + ".mkv";
        s.container = "mkv";
        s.width = 64;
        s.height = 48;
        s.fps = 10;
        s.encoder = hardware;
        kvVideoEncoder encoder;
        std::string error;
        ASSERT_TRUE(encoder.open(s, &error)) << hardware << ": " << error;
        EXPECT_EQ(encoder.note().find(std::string("the ") + hardware + " encoder cannot be used ("), 0u) << encoder.note();
        EXPECT_NE(encoder.note().find("): x264 encodes instead"), std::string::npos) << encoder.note();
        std::vector<uint8_t> frame(64 * 48 * 4, 200);
        for (int n = 0; n < 5; ++n) ASSERT_TRUE(encoder.addFrame(frame.data(), 64 * 4));
        ASSERT_TRUE(encoder.finish(&error)) << error;
        const std::string probe = run("ffprobe -v error -count_frames -select_streams v -show_entries "
                                      "stream=nb_read_frames,codec_name -of csv=p=0 '" + s.path + "'");
        EXPECT_EQ(probe, "h264,5\n") << hardware;
    }
    kvVideoSettings plain;
    plain.path = dir + "/plain.mkv";
    plain.container = "mkv";
    plain.width = plain.height = 64;
    kvVideoEncoder x264;
    std::string error;
    ASSERT_TRUE(x264.open(plain, &error)) << error;
    EXPECT_EQ(x264.note(), "");
    x264.abort();
}

TEST(VideoEncoder, RefusesWhatItCannotWrite)
{
    EXPECT_EQ(containerFor("show.MP4"), "mp4");
    EXPECT_EQ(containerFor("a.b/show"), "");
    EXPECT_EQ(containerFor("show.avi"), "");
    kvVideoSettings s;
    s.path = "/nonexistent-folder/out.mp4";
    s.container = "mp4";
    s.width = 64;
    s.height = 64;
    kvVideoEncoder encoder;
    std::string error;
    EXPECT_FALSE(encoder.open(s, &error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    // A full disk, whenever it fills: the reason reaches the caller.
    s.path = "/dev/full";
    s.container = "mkv";
    kvVideoEncoder full;
    error.clear();
    bool ok = full.open(s, &error);
    if (ok) {
        // The encoder's thread meets the error; a frame after it is refused,
        // and finish tells why.
        std::vector<uint8_t> frame(64 * 64 * 4, 128);
        for (int n = 0; n < 200 && full.addFrame(frame.data(), 64 * 4); ++n) {
        }
        ok = full.finish(&error);
    }
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
}

TEST_F(PlayerTest, FrameNOfARenderDrawsWhatTheLivePlayerDrawsAtNOverFps)
{
    // A crossfade, a fade and a pan: what the render loop draws for frame n
    // against a live player whose clock reads n / fps.
    auto build = [](kvPlayer& p) {
        p.setImageAreaSize(vector2(800, 600));
        p.addImage("A", 2, TRANSITION_NONE, 1, false)->move = vector2(0.1f, 0);
        p.addImage("B", 1.5f, TRANSITION_CROSSFADE, 0.5f, false)->zoom = 1.5f;
        p.addImage("C", 2, TRANSITION_FADE, 1, false);
        p.addImage("D", 1, TRANSITION_KEEP, 0, false);
        p.loadItemTexture(0);
        p.loadItemTexture(1);
    };
    const int fps = 10; // n / 10 reads the same on the millisecond clock
    kvRecordingRenderer renderRec;
    kvSteppedClock stepped(fps);
    kvPlayer rendered(renderRec, stepped);
    build(rendered);
    std::vector<std::vector<std::string>> renderFrames;
    RecordingSink sink;
    CountingGrabber grabber;
    const long long frames = renderScene(renderRec, 64, 48, stepped, [&]() {
        renderRec.lines.clear();
        rendered.update();
        renderFrames.push_back(renderRec.lines);
        return !rendered.isOver();
    }, grabber, sink, [](long long) { return true; }, 1000);
    // The show ends at 5.5 s: frames 0 to 54 (t < 5.5), every one handed over.
    EXPECT_EQ(frames, 55);
    ASSERT_EQ(sink.firstPixels.size(), 55u);
    for (uint32_t n = 0; n < 55; ++n) EXPECT_EQ(sink.firstPixels[n], n);
    build(*player);
    for (long long n = 0; n < frames; ++n) {
        kvFakeClock::now = 0;
        clock.startAt(static_cast<float>(static_cast<double>(n) / fps));
        rec->lines.clear();
        player->update();
        EXPECT_EQ(rec->lines, renderFrames[static_cast<size_t>(n)]) << "frame " << n;
    }
    // A scene that never says it is over ends at the bound, its frames all
    // handed over.
    RecordingSink endless;
    CountingGrabber endlessGrabber;
    EXPECT_EQ(renderScene(renderRec, 64, 48, stepped, [] { return true; }, endlessGrabber, endless,
                          [](long long) { return true; }, 7),
              7);
    EXPECT_EQ(endless.firstPixels.size(), 7u);
}

TEST_F(PlayerTest, SubtitleCuesFollowTheLinesShares)
{
    player->addFont("Liberation Sans", false, false);
    player->setSubtitleDelay(1);
    add("A", 10);
    player->addSubtitleLine(1, "one");
    player->addSubtitleLine(1, "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"); // UTF-8, as lines are kept
    add("B", 4);
    player->addSubtitleLine(2, "later");
    add("C", 5);
    player->addSubtitleLine(3, "never shown"); // the last slide
    std::vector<kvCue> cues = subtitleCues(*player, 0.0);
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_DOUBLE_EQ(cues[0].from, 1.0);
    EXPECT_DOUBLE_EQ(cues[0].to, 5.0);
    EXPECT_EQ(cues[1].text, "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87");
    EXPECT_DOUBLE_EQ(cues[1].to, 9.0);
    EXPECT_DOUBLE_EQ(cues[2].from, 11.0);
    EXPECT_DOUBLE_EQ(cues[2].to, 13.0);
    // From 6 s on, the first cue is gone and the second starts the video.
    cues = subtitleCues(*player, 6.0);
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_DOUBLE_EQ(cues[0].from, 0.0);
    EXPECT_DOUBLE_EQ(cues[0].to, 3.0);
    EXPECT_EQ(srtTime(3723.5), "01:02:03,500");
}
