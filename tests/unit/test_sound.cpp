// The music's timeline, mixing and decoding: where tracks start and how
// they weigh in crossfades and the fadeout, that a mix read in any pieces
// (live, after seeks) is the mix read straight (the render), and that
// files of every rate come out at the output rate in tune.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "export/kvTrackDecoder.h"
#include "sound/kvBeatCuts.h"
#include "sound/kvMixer.h"
#include "sound/kvSoundFile.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

const long long R = kOutputRate;

// A track whose frame n holds n + offset on both sides, so that any sample
// tells where it was read.
struct Ramp : kvTrackReader {
    long long length, offset, at = 0;
    Ramp(long long length_, long long offset_) : length(length_), offset(offset_) {}
    long long frames() const override { return length; }
    bool seek(long long f) override { return f >= 0 && f <= length ? (at = f, true) : false; }
    int read(float* stereo, int count) override
    {
        int n = 0;
        for (; n < count && at < length; ++n, ++at) stereo[2 * n] = stereo[2 * n + 1] = static_cast<float>(at + offset);
        return n;
    }
};

// Zero crossings upwards per second of the left channel.
double pitchOf(const std::vector<float>& stereo, size_t from, size_t frames)
{
    int ups = 0;
    for (size_t i = from + 1; i < from + frames; ++i)
        if (stereo[2 * (i - 1)] < 0.0f && stereo[2 * i] >= 0.0f) ++ups;
    return ups * static_cast<double>(R) / static_cast<double>(frames);
}

} // namespace

TEST(Playlist, StartsCrossfadesAndFadeout)
{
    struct Case {
        const char* what;
        std::vector<long long> lengths;
        double crossfade, fadeout;
        long long end;
        std::vector<long long> starts;
        long long total;
        // (track, frame, gain)
        std::vector<std::tuple<size_t, long long, float>> gains;
    };
    const Case cases[] = {
        {"back to back", {10 * R, 5 * R}, 0, 0, -1, {0, 10 * R}, 15 * R,
         {{0, 0, 1.0f}, {0, 10 * R - 1, 1.0f}, {0, 10 * R, 0.0f}, {1, 10 * R, 1.0f}, {1, 15 * R, 0.0f}}},
        {"a crossfade of 2 s, half each at its midpoint", {10 * R, 5 * R}, 2, 0, -1, {0, 8 * R}, 13 * R,
         {{0, 8 * R, 1.0f}, {1, 8 * R, 0.0f}, {0, 9 * R, 0.5f}, {1, 9 * R, 0.5f}, {1, 10 * R, 1.0f}, {0, 10 * R, 0.0f}}},
        {"a crossfade held to half the shorter track", {10 * R, 2 * R, 10 * R}, 4, 0, -1, {0, 9 * R, 10 * R}, 20 * R,
         {{1, 9 * R + R / 2, 0.5f}, {1, 10 * R, 1.0f}, {2, 10 * R + R / 2, 0.5f}}},
        {"an unreadable track takes no time", {4 * R, 0, 4 * R}, 1, 0, -1, {0, 4 * R, 3 * R}, 7 * R,
         {{1, 3 * R, 0.0f}, {0, 3 * R + R / 2, 0.5f}, {2, 3 * R + R / 2, 0.5f}}},
        {"the fadeout before the show's end, silence after it", {60 * R}, 0, 4, 20 * R, {0}, 60 * R,
         {{0, 15 * R, 1.0f}, {0, 16 * R, 1.0f}, {0, 18 * R, 0.5f}, {0, 20 * R, 0.0f}, {0, 30 * R, 0.0f}}},
        {"nothing", {}, 3, 3, -1, {}, 0, {}},
    };
    for (const Case& c : cases) {
        kvPlaylist p(c.lengths, c.crossfade, c.fadeout);
        if (c.end >= 0) p.setEnd(c.end);
        ASSERT_EQ(p.size(), c.starts.size()) << c.what;
        for (size_t i = 0; i < c.starts.size(); ++i) EXPECT_EQ(p.startOf(i), c.starts[i]) << c.what << " track " << i;
        EXPECT_EQ(p.total(), c.total) << c.what;
        for (const auto& g : c.gains)
            EXPECT_NEAR(p.gain(std::get<0>(g), std::get<1>(g)), std::get<2>(g), 1e-4)
                << c.what << ": track " << std::get<0>(g) << " at " << std::get<1>(g) / double(R) << " s";
    }
}

TEST(Mixer, AnySpanReadsWhatTheStraightReadDoes)
{
    auto make = [] {
        std::vector<std::unique_ptr<kvTrackReader>> tracks;
        tracks.emplace_back(new Ramp(3 * R, 0));
        tracks.emplace_back(nullptr); // unreadable: silent, takes no time
        tracks.emplace_back(new Ramp(2 * R, 1000000));
        return std::unique_ptr<kvMixer>(new kvMixer(std::move(tracks), 0.5, 0.0));
    };
    const long long total = make()->playlist().total();
    ASSERT_EQ(total, 4 * R + R / 2);
    std::vector<float> straight(2 * static_cast<size_t>(total + R));
    make()->mix(0, static_cast<int>(total + R), straight.data());
    // A sample in the first track alone is its own frame; after the end, silence.
    EXPECT_EQ(straight[2 * 1000], 1000.0f);
    EXPECT_EQ(straight[2 * (total + 10)], 0.0f);
    // Pieces of odd sizes, jumping back and forth as Next and Previous do.
    std::unique_ptr<kvMixer> live = make();
    std::vector<float> piece;
    const long long spans[][2] = {{0, 1024}, {1024, 1023}, {2 * R + R / 3, 4096}, {R, 777}, {3 * R - 5, R}, {4 * R, R}};
    for (const auto& s : spans) {
        piece.assign(2 * static_cast<size_t>(s[1]), -1.0f);
        live->mix(s[0], static_cast<int>(s[1]), piece.data());
        for (long long k = 0; k < s[1]; ++k)
            ASSERT_EQ(piece[2 * k], straight[2 * (s[0] + k)]) << "frame " << s[0] + k;
    }
}

TEST(BeatCuts, EachChangeOnTheNearestBeatWithinTwoToTenSeconds)
{
    std::vector<double> clicks;
    for (double t = 0.5; t < 120.0; t += 0.5) clicks.push_back(t + 0.013);
    struct Case {
        const char* what;
        std::vector<double> beats;
        size_t slides;
        double music;
    };
    const Case cases[] = {
        {"a click every half second, 12 pictures to 60 s", clicks, 12, 60.0},
        {"no beats: even shares", {}, 5, 20.0},
        {"beats too far apart: the share", {1.0, 30.0, 31.0}, 4, 16.0},
        {"a short song for many pictures: 2 s at least", clicks, 40, 30.0},
        {"a long song for few: 10 s at most", clicks, 3, 100.0},
    };
    for (const Case& c : cases) {
        const std::vector<double> times = beatSlideTimes(c.beats, c.slides, c.music);
        ASSERT_EQ(times.size(), c.slides) << c.what;
        double at = 0.0;
        for (double t : times) {
            EXPECT_GE(t, kLeastBeatSeconds - 1e-9) << c.what;
            EXPECT_LE(t, kMostBeatSeconds + 1e-9) << c.what;
            at += t;
            // On a beat when one is in reach, and on whole milliseconds.
            bool onBeat = false;
            for (double b : c.beats) onBeat = onBeat || std::fabs(b - at) < 0.0006;
            const bool reachable = !c.beats.empty() && c.beats != std::vector<double>{1.0, 30.0, 31.0};
            if (reachable) {
                EXPECT_TRUE(onBeat) << c.what << ": a cut at " << at;
            }
            EXPECT_NEAR(at * 1000.0, std::round(at * 1000.0), 1e-6) << c.what;
        }
        if (c.beats.empty()) {
            EXPECT_NEAR(times[0], 4.0, 1e-9) << c.what;
        }
    }
    // A clip's slide keeps its own length (even past ten seconds); the
    // pictures share what is left of the music, still cut on beats.
    const std::vector<double> times = beatSlideTimes(clicks, 4, 40.0, {0.0, 12.25, 0.0, 0.0});
    ASSERT_EQ(times.size(), 4u);
    EXPECT_EQ(times[1], 12.25);
    double at = 0.0;
    for (size_t n = 0; n < times.size(); ++n) {
        at += times[n];
        if (n == 1) continue;
        EXPECT_NEAR(times[n], 28.0 / 3.0, 0.5) << n;
        bool onBeat = false;
        for (double b : clicks) onBeat = onBeat || std::fabs(b - at) < 0.0006;
        EXPECT_TRUE(onBeat) << "a cut at " << at;
    }
}

// Music of every kind, through the decoder that reads it: libsndfile for
// WAV (at several rates and layouts), Ogg Vorbis, Opus and FLAC, libmpg123
// for MP3, FFmpeg (the encoder module's decoder) for AAC in M4A and Opus in
// WebM: each comes out at the output rate, in tune, at its level, and a
// seek lands where it was asked.
TEST(TrackDecoder, EveryKindComesOutInTuneAndSeeksWhereAsked)
{
    const std::string dir = scratchDir("decoder");
    struct Case {
        const char* name;
        const char* codec;
        int rate, channels;
        bool ffmpeg;
    };
    const Case cases[] = {{"a.wav", "pcm_s16le", 44100, 1, false}, {"b.wav", "pcm_s16le", 32000, 2, false},
                          {"c.wav", "pcm_s16le", 48000, 2, false}, {"d.wav", "pcm_s16le", 22050, 1, false},
                          {"t.mp3", "libmp3lame", 44100, 2, false}, {"t.ogg", "libvorbis", 44100, 2, false},
                          {"t.opus", "libopus", 48000, 2, false},   {"t.flac", "flac", 44100, 1, false},
                          {"t.m4a", "aac", 44100, 2, true},         {"t.webm", "libopus", 48000, 2, true}};
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.name;
        // A sweep from 300 Hz up (700 Hz on average from 0.5 to 1.5 s): no
        // two moments alike, so a seek's lag shows.
        const std::string sweep = "0.5*sin(2*PI*(300+200*t)*t)";
        ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i 'aevalsrc=" + sweep + (c.channels == 2 ? "|" + sweep : "")
                               + ":s=" + std::to_string(c.rate) + ":d=3' -c:a " + std::string(c.codec) + " '" + path + "'")
                                  .c_str()),
                  0);
        std::string why;
        std::unique_ptr<kvTrackReader> t;
        if (c.ffmpeg)
            t = openTrackDecoder(path, &why);
        else
            t.reset(kvSoundFile::open(path, &why).release());
        ASSERT_TRUE(t) << c.name << ": " << why;
        EXPECT_NEAR(t->frames(), 3 * R, R / 20) << c.name;
        std::vector<float> out(2 * 3 * R);
        const int got = t->read(out.data(), static_cast<int>(3 * R));
        EXPECT_NEAR(got, 3 * R, R / 20) << c.name;
        EXPECT_NEAR(pitchOf(out, R / 2, R), 700.0, 5.0) << c.name;
        float peak = 0.0f;
        for (long long i = R / 2; i < R; ++i) peak = std::max(peak, std::fabs(out[2 * i + 1]));
        EXPECT_NEAR(peak, 0.5f, 0.05f) << c.name;
        // Sought to 2 s: the sound there is the straight read's, at a lag
        // of under 10 ms (sample for sample is more than seeking in a
        // compressed stream promises).
        ASSERT_TRUE(t->seek(2 * R)) << c.name;
        std::vector<float> again(2 * 4800);
        ASSERT_EQ(t->read(again.data(), 4800), 4800) << c.name;
        int lagOf = 0;
        double best = 1e9;
        for (int lag = -2400; lag <= 2400; ++lag) {
            double sum = 0.0;
            for (int i = 0; i < 2400; i += 3) sum += std::fabs(again[2 * i] - out[2 * (2 * R + i + lag)]);
            if (sum < best) best = sum, lagOf = lag;
        }
        std::printf("%s: after a seek, %d frames from the straight read\n", c.name, lagOf);
        EXPECT_LE(std::abs(lagOf), 480) << c.name;
        EXPECT_TRUE(t->decodesWhole(&why)) << c.name << ": " << why;
    }
    std::string why;
    writeFile(dir + "/photo.m4a", readFile(fixture("quadrants.jpg")));
    EXPECT_EQ(openTrackDecoder(dir + "/photo.m4a", &why), nullptr);
    EXPECT_NE(why.find("cannot be decoded"), std::string::npos) << why;
}
