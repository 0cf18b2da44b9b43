// Live music through SDL's disk audio driver: what the device is given is,
// sample for sample, the mix the render encodes, from the start and after
// the clock jumps into the second track; paused, the device is silent.
#include <gtest/gtest.h>

#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/kvBassPlay.h"
#include "sound/kvMixer.h"
#include "sound/kvSoundFile.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

struct Music : ::testing::Test {
    std::string dir = scratchDir("music");
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir + "/out.raw").c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "1", 1);
        // 440 Hz at 44.1 kHz, then 880 Hz at 32 kHz, 1 s crossfaded.
        writeFile(dir + "/a.wav", toneWav(3.0, 44100, 440, 1, 0.5));
        writeFile(dir + "/b.wav", toneWav(3.0, 32000, 880, 2, 0.5));
        music.tracks = {dir + "/a.wav", dir + "\\b.wav"}; // '\\' separates folders too
        music.crossfade = 1.0;
    }
    void TearDown() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    // What the device was given (stereo float at the output rate).
    std::vector<float> captured()
    {
        const std::string bytes = readFile(dir + "/out.raw");
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }
    // The mix the render reads from `from` on, straight.
    std::vector<float> rendered(long long from, int frames)
    {
        std::vector<std::unique_ptr<kvTrackReader>> tracks;
        for (const std::string& t : music.tracks) tracks.push_back(kvSoundFile::open(t, nullptr));
        kvMixer mixer(std::move(tracks), music.crossfade, music.fadeout);
        std::vector<float> out(2 * static_cast<size_t>(frames));
        mixer.mix(from, frames, out.data());
        return out;
    }
    // The frame of `live` where `expected` begins (-1: nowhere), matched
    // to within the float rounding of the two reads.
    static long long find(const std::vector<float>& live, const std::vector<float>& expected)
    {
        const size_t n = expected.size() / 2, frames = live.size() / 2;
        for (size_t at = 0; at + n <= frames; ++at) {
            bool same = true;
            for (size_t k = 0; k < n && same; ++k) same = std::fabs(live[2 * (at + k)] - expected[2 * k]) < 1e-6f;
            if (same) return static_cast<long long>(at);
        }
        return -1;
    }
    kvMusic music;
};

} // namespace

TEST_F(Music, LiveIsTheRenderedMixFromTheStartAndAfterAJump)
{
    for (double start : {0.0, 3.5}) {
        {
            kvBassPlay live;
            ASSERT_TRUE(live.isOutputOpen());
            std::string told;
            ASSERT_TRUE(live.load(music, [&told](const std::string& line, bool) { told += line; }));
            EXPECT_EQ(told, "");
            // Paused first: what the device gets meanwhile is silence.
            live.playFrom(start);
            live.pause();
            SDL_Delay(60);
            live.follow(start); // the paused clock stands still; so does the music
            live.resume();
            SDL_Delay(250);
            EXPECT_GT(live.position(), start + 0.1);
        }
        const std::vector<float> got = captured();
        const long long from = std::llround(start * kOutputRate);
        // The first 4096 frames of the mix from there, in what was played;
        // before them, only silence.
        const long long at = find(got, rendered(from, 4096));
        ASSERT_GE(at, 0) << "start " << start;
        for (long long i = 0; i < 2 * at; ++i) ASSERT_EQ(got[static_cast<size_t>(i)], 0.0f) << "start " << start;
        // And all that followed, sample for sample.
        const long long frames = static_cast<long long>(got.size() / 2) - at;
        std::printf("from %.1f s: %lld frames played after %lld of silence\n", start, frames, at);
        const std::vector<float> all = rendered(from, static_cast<int>(frames));
        for (long long k = 0; k < frames; ++k)
            ASSERT_NEAR(got[2 * (at + k)], all[2 * k], 1e-6f) << "start " << start << ", frame " << k;
        if (start > 3.0) {
            // Past the crossfade, in the second track: its tone from the first sample.
            int ups = 0;
            for (long long k = 1; k < 4800; ++k) ups += got[2 * (at + k - 1)] < 0.0f && got[2 * (at + k)] >= 0.0f;
            EXPECT_NEAR(ups, 88, 2);
        }
    }
}

TEST_F(Music, AJumpOfTheClockMovesTheMusicAndADriftDoesNot)
{
    kvBassPlay live;
    ASSERT_TRUE(live.load(music, nullptr));
    live.playFrom(1.0);
    live.follow(1.1); // within a quarter of a second: let be
    EXPECT_LT(live.position(), 1.09);
    live.follow(4.0); // Next
    EXPECT_NEAR(live.position(), 4.0, 0.05);
    live.follow(0.5); // Previous
    EXPECT_NEAR(live.position(), 0.5, 0.05);
    live.stop();
    live.resume(); // a stop is no pause
    const double at = live.position();
    SDL_Delay(60);
    EXPECT_EQ(live.position(), at);
}

TEST_F(Music, ATrackThatCannotPlayIsToldOnceAndTheRestPlays)
{
    writeFile(dir + "/photo.mp3", readFile(fixture("quadrants.jpg")));
    kvMusic broken = music;
    broken.tracks.insert(broken.tracks.begin(), dir + "/photo.mp3");
    broken.tracks.push_back(dir + "/absent.ogg");
    kvBassPlay live;
    std::vector<std::string> told;
    int again = 0;
    auto tell = [&told, &again](const std::string& line, bool before) {
        if (before)
            ++again;
        else
            told.push_back(line);
    };
    EXPECT_TRUE(live.load(broken, tell));
    EXPECT_TRUE(live.hasStream());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[0].find("photo.mp3\" cannot be played: cannot be decoded"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find("absent.ogg\" cannot be played"), std::string::npos) << told[1];
    // Read again (a --watch reload): told as told before.
    EXPECT_TRUE(live.load(broken, tell));
    EXPECT_EQ(told.size(), 2u);
    EXPECT_EQ(again, 2);
    kvMusic none;
    none.tracks = {dir + "/absent.ogg"};
    EXPECT_FALSE(live.load(none, tell));
    EXPECT_FALSE(live.hasStream());
}
