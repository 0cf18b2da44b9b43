// Music through SDL_mixer's disk audio driver: a short generated track
// plays and the written samples are not silent; without a track, play and
// stop do nothing.
#include <gtest/gtest.h>

#include <SDL.h>
#include <cmath>
#include <cstdlib>

#include "app/kvBaseGL.h"
#include "app/kvBassPlay.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

// A 44.1 kHz 16-bit mono WAV of a 440 Hz tone.
std::string toneWav(double seconds)
{
    const uint32_t rate = 44100, n = static_cast<uint32_t>(seconds * rate);
    std::string data;
    for (uint32_t i = 0; i < n; ++i) {
        int16_t s = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * i / rate));
        data += static_cast<char>(s & 0xFF);
        data += static_cast<char>((s >> 8) & 0xFF);
    }
    auto u32 = [](uint32_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)}; };
    auto u16 = [](uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
    return "RIFF" + u32(36 + static_cast<uint32_t>(data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(rate)
           + u32(rate * 2) + u16(2) + u16(16) + "data" + u32(static_cast<uint32_t>(data.size())) + data;
}

struct Music : ::testing::Test {
    std::string dir = scratchDir("music");
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir + "/out.raw").c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "1", 1);
    }
    void TearDown() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
};

} // namespace

TEST_F(Music, ATrackPlaysIntoTheOutput)
{
    writeFile(dir + "/tone.wav", toneWav(1.0));
    {
        kvBassPlay music;
        ASSERT_TRUE(music.isOutputOpen());
        // Named as on Windows: '\\' separates folders on the disk too.
        ASSERT_TRUE(music.loadStream(dir + "\\tone.wav"));
        music.play();
        SDL_Delay(400);
        music.stop();
    }
    std::string out = readFile(dir + "/out.raw");
    ASSERT_GT(out.size(), 4096u);
    long loud = 0;
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
        int16_t s = static_cast<int16_t>(static_cast<uint8_t>(out[i]) | (static_cast<uint8_t>(out[i + 1]) << 8));
        if (std::abs(s) > 2000) ++loud;
    }
    EXPECT_GT(loud, 1000);
}

TEST_F(Music, WithoutATrackNothingPlaysAndMissingFilesFail)
{
    kvBassPlay music;
    music.play();
    music.stop();
    EXPECT_FALSE(music.hasStream());
    EXPECT_FALSE(music.loadStream(dir + "/absent.ogg"));
    writeFile(dir + "/junk.ogg", "not music at all");
    EXPECT_FALSE(music.loadStream(dir + "/junk.ogg"));
    EXPECT_FALSE(music.loadStream(""));
    music.play();
}
