// Clips without a display: a clip's stream over a decoder of ten frames a
// second made here (every moment a frame can meet it: before its first
// frame, between frames, with the worker behind, after a jump, past its
// end), and its sound in the mix (the music ducking around it, the same
// whatever the pieces it is mixed in).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "image/kvClipStream.h"
#include "sound/kvMixer.h"

using namespace Korvell;

namespace {

// Ten frames a second for `frames` frames; a keyframe every fifth, so a
// seek lands on one at or before the time asked. Each frame's one pixel
// holds its number. A gate, when closed, holds next() until frames are let
// through.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    int allowed = 0; // frames let through while closed
    std::atomic<int> seeks{0};
};

class TenFrames : public kvClipDecoder {
public:
    TenFrames(Gate& gate_, int frames_) : gate(gate_), frames(frames_) {}
    bool open(const std::string& file, int, int, std::string* reason) override
    {
        if (file == "broken.mp4") {
            *reason = "cannot be decoded: not a video FFmpeg reads";
            return false;
        }
        clipFacts.width = 4;
        clipFacts.height = 2;
        clipFacts.seconds = frames / 10.0;
        return true;
    }
    const kvClipFacts& facts() const override { return clipFacts; }
    bool seek(double seconds) override
    {
        ++gate.seeks;
        at = std::max(0, std::min(frames - 1, static_cast<int>(std::floor(seconds * 10.0 + 1e-9)) / 5 * 5));
        return true;
    }
    bool next(kvClipFrame& frame, std::string*) override
    {
        {
            std::unique_lock<std::mutex> lock(gate.mutex);
            gate.changed.wait(lock, [this] { return !gate.closed || gate.allowed > 0; });
            if (gate.closed) --gate.allowed;
        }
        if (at >= frames) return false;
        frame.seconds = at / 10.0;
        frame.picture.reset(new kvTexture(4, 2, 24));
        frame.picture->getPixels()[0] = static_cast<uint8_t>(at);
        ++at;
        return true;
    }
    std::string decoding() const override { return "made here"; }

private:
    Gate& gate;
    int frames;
    int at = 0;
    kvClipFacts clipFacts;
};

kvClipStream::Maker maker(Gate& gate, int frames = 10)
{
    return [&gate, frames](std::string*) { return std::unique_ptr<kvClipDecoder>(new TenFrames(gate, frames)); };
}

int numberOf(const kvClipFrame* f) { return f && f->picture ? f->picture->getPixels()[0] : -1; }

kvClipStream::Options options(bool exact, double start = 0.0)
{
    kvClipStream::Options o;
    o.file = "clip.mp4";
    o.start = start;
    o.exact = exact;
    return o;
}

} // namespace

// Asked at every kind of moment, in a render and live (with the worker
// free to keep up): the last frame at or before the time, the first before
// the clip begins, the last after it ends, the right one after a jump back
// or far ahead.
TEST(ClipStream, TheFrameDueAtEachMoment)
{
    struct Ask {
        double t;
        int frame;
    } asks[] = {{0.0, 0}, {0.05, 0}, {0.1, 1}, {0.199, 1}, {0.35, 3}, {0.36, 3}, {0.9, 9},
                {1.5, 9},  {0.2, 2},  {0.95, 9}, {0.0, 0},   {0.7, 7},  {0.45, 4}};
    for (bool exact : {true, false}) {
        Gate gate;
        kvClipStream stream(maker(gate), options(exact));
        for (const Ask& a : asks) {
            const kvClipFrame* f = stream.frameAt(a.t);
            // Live, a frame not yet decoded leaves the last in place: asked
            // again once the worker has had time, it is there.
            for (int tries = 0; !exact && numberOf(f) != a.frame && tries < 200; ++tries) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                f = stream.frameAt(a.t);
            }
            EXPECT_EQ(numberOf(f), a.frame) << (exact ? "render" : "live") << " at " << a.t;
            if (f) {
                EXPECT_LE(f->seconds, std::max(a.t, 0.0) + 1e-9) << "a frame shown early at " << a.t;
            }
        }
        EXPECT_GE(gate.seeks.load(), 3); // the start, back to 0.2, back to 0.0 (and 0.45)
    }
}

// A render waits for the frame due however slow the decoder; live never
// waits once a frame is shown: the one shown stays while the worker is
// behind, and frames it decodes too late are passed over.
TEST(ClipStream, ARenderWaitsLiveNeverDoes)
{
    Gate gate;
    gate.closed = true;
    kvClipStream render(maker(gate), options(true));
    std::future<int> due = std::async(std::launch::async, [&render] { return numberOf(render.frameAt(0.25)); });
    for (int n = 1; n <= 3; ++n) {
        // Frames 0 to n - 1 decoded: the one due (frame 2) is not known yet.
        {
            std::lock_guard<std::mutex> lock(gate.mutex);
            gate.allowed = 1;
        }
        gate.changed.notify_all();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(due.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout) << n << " frames decoded";
    }
    // Frame 3 (0.3 s, after the time asked) tells that frame 2 is the one.
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.allowed = 1;
    }
    gate.changed.notify_all();
    EXPECT_EQ(due.get(), 2);
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.closed = false;
    }
    gate.changed.notify_all();

    Gate liveGate;
    kvClipStream live(maker(liveGate), options(false));
    ASSERT_EQ(numberOf(live.frameAt(0.0)), 0); // the first frame is waited for
    {
        std::lock_guard<std::mutex> lock(liveGate.mutex);
        liveGate.closed = true;
        liveGate.allowed = 0;
    }
    // Give the worker time to fill what it may hold ahead, then hold it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto before = std::chrono::steady_clock::now();
    const int shown = numberOf(live.frameAt(0.8));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100)) << "live waited";
    EXPECT_LE(shown, static_cast<int>(kvClipStream::kAhead)); // what it had, never frame 8 out of nowhere
    {
        std::lock_guard<std::mutex> lock(liveGate.mutex);
        liveGate.closed = false;
    }
    liveGate.changed.notify_all();
    int later = shown;
    for (int tries = 0; later != 8 && tries < 200; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        later = numberOf(live.frameAt(0.8));
    }
    EXPECT_EQ(later, 8);
    EXPECT_GT(live.droppedCount(), 0); // frames between were passed over
}

// A clip that does not open says why and gives no frame; a show of a
// clip that could not be decoded at all (no decoder) says so too.
TEST(ClipStream, AClipThatCannotBeShownSaysWhy)
{
    Gate gate;
    kvClipStream::Options o = options(false);
    o.file = "broken.mp4";
    kvClipStream broken(maker(gate), o);
    EXPECT_EQ(broken.frameAt(0.0), nullptr);
    std::string why;
    EXPECT_TRUE(broken.failed(&why));
    EXPECT_EQ(why, "cannot be decoded: not a video FFmpeg reads");
    kvClipStream none([](std::string* reason) {
        *reason = "the clip decoder (korvell-encoder.so) cannot be loaded";
        return std::unique_ptr<kvClipDecoder>();
    }, options(true));
    EXPECT_EQ(none.frameAt(0.0), nullptr);
    EXPECT_TRUE(none.failed(&why));
    EXPECT_EQ(why, "the clip decoder (korvell-encoder.so) cannot be loaded");
}

namespace {

// A steady tone of one level, `frames` long, for the mixer.
class Level : public kvTrackReader {
public:
    Level(float value_, long long frames_) : value(value_), length(frames_) {}
    long long frames() const override { return length; }
    bool seek(long long frame) override
    {
        at = frame;
        return frame >= 0;
    }
    int read(float* stereo, int count) override
    {
        const int n = static_cast<int>(std::max(0LL, std::min<long long>(count, length - at)));
        for (int i = 0; i < 2 * n; ++i) stereo[i] = value;
        at += n;
        return n;
    }

private:
    float value;
    long long length, at = 0;
};

std::unique_ptr<kvMixer> musicWithClip(float volume, float duck)
{
    std::vector<std::unique_ptr<kvTrackReader>> music;
    music.emplace_back(new Level(0.5f, 10 * kOutputRate));
    std::unique_ptr<kvMixer> m(new kvMixer(std::move(music), 0.0, 0.0));
    kvVoice v;
    v.reader.reset(new Level(0.25f, 4 * kOutputRate));
    v.start = 3 * kOutputRate;
    v.from = kOutputRate; // trimmed: a second in
    v.frames = 2 * kOutputRate;
    v.volume = volume;
    v.duck = duck;
    m->addVoice(std::move(v));
    return m;
}

} // namespace

// The music falls to the clip's duck over half a second before its sound,
// stays there under it and rises back over half a second after; the clip
// plays at its volume, faded in and out over 10 ms; muted, it leaves the
// music alone. The same samples however the span is cut into pieces.
TEST(ClipSound, TheMusicDucksAroundTheClipsSound)
{
    const long long r = kOutputRate;
    struct Probe {
        long long frame;
        float level; // music 0.5 x its duck, plus the clip's 0.25 x volume
    } probes[] = {
        {r * 2, 0.5f},                             // before the ramp
        {r * 3 - r / 2, 0.5f},                     // the ramp begins
        {r * 3 - r / 4, 0.5f * (1.0f - 0.5f * 0.7f)}, // half way down to 0.3
        {r * 3 + r / 2, 0.5f * 0.3f + 0.25f},      // under the clip
        {r * 5 - r / 2, 0.5f * 0.3f + 0.25f},
        {r * 5 + r / 4, 0.5f * (1.0f - 0.5f * 0.7f)}, // half way back up
        {r * 5 + r / 2, 0.5f},                     // back
        {r * 8, 0.5f},
    };
    std::unique_ptr<kvMixer> whole = musicWithClip(1.0f, 0.3f);
    std::vector<float> all(2 * 10 * r);
    whole->mix(0, static_cast<int>(10 * r), all.data());
    for (const Probe& p : probes) EXPECT_NEAR(all[2 * p.frame], p.level, 1e-4) << "at frame " << p.frame;
    // The clip's own edges: faded over 10 ms, not a click.
    EXPECT_NEAR(all[2 * 3 * r], 0.5f * 0.3f + 0.25f / (kvMixer::kVoiceFade + 1), 1e-4);
    EXPECT_NEAR(all[2 * (5 * r - 1)], 0.5f * 0.3f + 0.25f / (kvMixer::kVoiceFade + 1), 1e-4);

    // Mixed in the pieces a sound device asks for, from anywhere: the same.
    std::unique_ptr<kvMixer> pieces = musicWithClip(1.0f, 0.3f);
    std::vector<float> piece(2 * 4096);
    for (long long at = 2 * r + 123; at < 6 * r; at += 1021) {
        pieces->mix(at, 1021, piece.data());
        for (int k = 0; k < 1021; k += 97) ASSERT_EQ(piece[2 * k], all[2 * (at + k)]) << "frame " << at + k;
    }

    std::unique_ptr<kvMixer> muted = musicWithClip(0.0f, 0.3f);
    muted->mix(4 * r, 1, piece.data());
    EXPECT_FLOAT_EQ(piece[0], 0.5f);
    EXPECT_EQ(muted->voiceCount(), 0u);
}
