// A show read again, as --watch does on every save: a thousand saves of
// its music and script, each followed by a frame with a subtitle in three
// scripts, leave the process holding as many descriptors and as much
// memory as after the first few.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "app/kvBaseGL.h"
#include "app/kvShow.h"
#include "app/kvTimer.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

int openDescriptors()
{
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return -1;
    while (readdir(d)) ++n;
    closedir(d);
    return n;
}

std::string silentWav(double seconds)
{
    const uint32_t rate = 22050, n = static_cast<uint32_t>(seconds * rate);
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    return "RIFF" + u32(36 + 2 * n) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(rate) + u32(rate * 2) + u16(2)
           + u16(16) + "data" + u32(2 * n) + std::string(2 * n, '\0');
}

struct WatchedShow : GLTest {
    std::string home;
    void SetUp() override
    {
        GLTest::SetUp();
        char buf[4096];
        home = getcwd(buf, sizeof buf) ? buf : ".";
        g_app = app; // the show reaches its window's size through it
    }
    void TearDown() override
    {
        g_app = nullptr;
        if (chdir(home.c_str()) != 0) ADD_FAILURE();
        GLTest::TearDown();
    }
};

} // namespace

TEST_F(WatchedShow, AThousandSavesHoldNoMoreDescriptorsOrMemory)
{
    const std::string dir = scratchDir("watch");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    writeFile("song.wav", silentWav(2.0));
    writeFile("a.jpg", readFile(fixture("quadrants.jpg")));
    writeFile("show.xml", "<korvell><viewport x=\"10\" y=\"10\"/>"
                          "<imagearea><position x=\"0\" y=\"0\"/><size width=\"10\" height=\"10\"/></imagearea>"
                          "<subtitles y=\"8\" scale=\"1\" delay=\"0\"><face>Liberation Sans</face></subtitles>"
                          "<music>song.wav</music>"
                          "<image time=\"5\"><file>a.jpg</file><line1>Hello, Καλημέρα, 你好</line1></image>"
                          "<image time=\"5\"><file>a.jpg</file></image><image time=\"1\"/></korvell>\n");
    kvShow show(*renderer, "show.xml");
    ASSERT_TRUE(show.load());
    show.prepare(0.0f);
    show.start(0.0f);
    ASSERT_TRUE(show.getMusic().hasStream());
    // Each save changes the music file's time, so the track is opened anew.
    long long stamp = 1000000;
    auto save = [&](int times) {
        for (int i = 0; i < times; ++i) {
            const struct timespec t[2] = {{stamp, 0}, {stamp, 0}};
            ++stamp;
            ASSERT_EQ(utimensat(AT_FDCWD, "song.wav", t, 0), 0);
            show.reload();
            beginFrame();
            ASSERT_TRUE(show.step());
        }
    };
    save(20);
    const int descriptors = openDescriptors();
    const size_t heap = mallinfo2().uordblks;
    save(1000);
    EXPECT_TRUE(show.getMusic().hasStream());
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_LT(mallinfo2().uordblks, heap + (1u << 20)) << "heap in use grew from " << heap;
    g_timer.stop();
    show.endShow();
}
