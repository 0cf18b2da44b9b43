// Shared helpers for tests: a hand-stepped clock, an application object
// with the recording renderer (no display), a real GL application on a
// hidden window (under Xvfb), fixture paths and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/kvBaseGL.h"
#include "support/kvRecordingRenderer.h"

namespace Korvell {

// The show clock's tick source, stepped by hand.
struct kvFakeClock {
    static uint32_t now;
    static uint32_t ticks() { return now; }
    static void install();
    static void uninstall();
    // Starts g_timer afresh at tick 0, so elapsed() reads seconds directly.
    static void startShowClock();
    static void setSeconds(double seconds) { now = static_cast<uint32_t>(seconds * 1000.0 + 0.5); }
};

// g_app with the recording renderer and the fake clock.
class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    kvBaseGL* app = nullptr;
    kvRecordingRenderer* rec = nullptr;
};

// g_app with a real GL context on a hidden window of the given size.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual int clientWidth() const { return 64; }
    virtual int clientHeight() const { return 48; }
    // The back buffer's pixel at (x, y), y counted from the top.
    void readPixel(int x, int y, uint8_t rgb[3]) const;
    std::vector<uint8_t> readAll() const; // RGB rows, top row first
    kvBaseGL* app = nullptr;
    kvRenderer* renderer = nullptr;
};

std::string fixture(const std::string& name);
// A fresh, empty folder under the build tree for one test.
std::string scratchDir(const std::string& name);
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

} // namespace Korvell
