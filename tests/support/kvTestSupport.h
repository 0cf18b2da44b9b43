// Shared helpers for tests: a hand-stepped clock, the recording renderer
// and a player on it (no display), a real GL application on a hidden
// window (under Xvfb), fixture paths and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/kvBaseGL.h"
#include "app/kvTimer.h"
#include "player/kvPlayer.h"
#include "support/kvRecordingRenderer.h"

namespace Korvell {

// A tick counter stepped by hand, for kvTimer.
struct kvFakeClock {
    static uint32_t now;
    static uint32_t ticks() { return now; }
    static void setSeconds(double seconds) { now = static_cast<uint32_t>(seconds * 1000.0 + 0.5); }
};

// The recording renderer and a clock over the fake counter, started at 0
// so that elapsed() reads the seconds set. A dead texture index used by
// anybody fails the test.
class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    kvRecordingRenderer* rec = nullptr;
    kvTimer clock{kvFakeClock::ticks};
};

// A player on the recording renderer and the fake clock.
class PlayerTest : public RecordingTest {
protected:
    void SetUp() override;
    void TearDown() override;
    kvPlayerItem* add(const std::string& file, float time, int transition = TRANSITION_KEEP, float ttime = 0);
    void preload();
    // One frame at show time t, the recording cleared first; true when the
    // show is over.
    bool frame(double t);
    std::string currentFile() const;
    kvPlayer* player = nullptr;
};

// A real GL context on a hidden window of the given size.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual int clientWidth() const { return 64; }
    virtual int clientHeight() const { return 48; }
    // Clears and sets up the view over the whole window.
    void beginFrame();
    // The back buffer's pixel at (x, y), y counted from the top.
    void readPixel(int x, int y, uint8_t rgb[3]) const;
    std::vector<uint8_t> readAll() const; // RGB rows, top row first
    // Texture objects the GL holds (names a texture was made under and
    // not yet deleted).
    int glTextureCount() const;
    kvBaseGL* app = nullptr;
    kvRenderer* renderer = nullptr;
};

// A GL test with a player on the fake clock, from 0, over a 1 x 1 area.
class PlayerGLTest : public GLTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // One frame of the show at `t` seconds.
    void frameAt(double t);
    kvPlayer* player = nullptr;
    kvTimer clock{kvFakeClock::ticks};
};

// The numbers of texture handles, in order, for comparing with a list.
template <class Handles>
std::vector<int> ids(const Handles& handles)
{
    std::vector<int> out;
    for (const auto& h : handles) out.push_back(h.id);
    return out;
}

std::string fixture(const std::string& name);
// A fresh, empty folder under the build tree for one test.
std::string scratchDir(const std::string& name);
void writeFile(const std::string& path, const std::string& bytes);
// A 16-bit PCM WAV of a sine tone at `amplitude` (of full scale).
std::string toneWav(double seconds, int rate = 22050, double hz = 440.0, int channels = 1, double amplitude = 0.37);
std::string readFile(const std::string& path);

} // namespace Korvell
