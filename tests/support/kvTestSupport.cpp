// Test helpers.
#include "support/kvTestSupport.h"

#include <GL/gl.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/kvTimer.h"
#include "image/kvDataFile.h"
#include "player/kvTextureMatrix.h"

namespace Korvell {

uint32_t kvFakeClock::now = 0;

void kvFakeClock::install()
{
    now = 0;
    kvTimer::setTickSource(ticks);
}

void kvFakeClock::uninstall() { kvTimer::setTickSource(nullptr); }

void kvFakeClock::startShowClock()
{
    g_timer.stop();
    now = 0;
    g_timer.start();
}

void RecordingTest::SetUp()
{
    kvFakeClock::install();
    kvFakeClock::startShowClock();
    app = new kvBaseGL(nullptr);
    rec = new kvRecordingRenderer();
    app->setRenderer(rec);
    g_app = app;
    g_currentItem = nullptr;
    g_previousRequested = false;
    g_noiseEnabled = false;
}

void RecordingTest::TearDown()
{
    closeDataFile();
    g_app = nullptr;
    app->setRenderer(nullptr);
    delete app;
    delete rec;
    g_timer.stop();
    kvFakeClock::uninstall();
}

void GLTest::SetUp()
{
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display (make test starts Xvfb)";
    app = new kvBaseGL(nullptr);
    app->setMode(clientWidth(), clientHeight(), 60, false);
    g_app = app;
    ASSERT_TRUE(app->createAppWindow("Korvell GL test"));
    ASSERT_TRUE(app->initApi());
    renderer = app->getRenderer();
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(app->getClientWidth(), clientWidth());
    ASSERT_EQ(app->getClientHeight(), clientHeight());
    setTextureMatrixLoader(nullptr);
}

void GLTest::TearDown()
{
    closeDataFile();
    if (app) {
        app->releaseApi();
        app->destroyAppWindow();
        delete app;
    }
    g_app = nullptr;
}

void GLTest::readPixel(int x, int y, uint8_t rgb[3]) const
{
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, clientHeight() - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

std::vector<uint8_t> GLTest::readAll() const
{
    const int w = clientWidth(), h = clientHeight();
    std::vector<uint8_t> raw(static_cast<size_t>(w * h * 3)), out(raw.size());
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    for (int y = 0; y < h; ++y)
        std::copy(raw.begin() + (h - 1 - y) * w * 3, raw.begin() + (h - y) * w * 3, out.begin() + y * w * 3);
    return out;
}

std::string fixture(const std::string& name) { return std::string(KORVELL_SOURCE_DIR) + "/tests/fixtures/" + name; }

std::string scratchDir(const std::string& name)
{
    // Per test, so tests running side by side never share a folder.
    std::string dir = std::string(KORVELL_BINARY_DIR) + "/test-scratch/";
    if (const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info())
        dir += std::string(info->test_suite_name()) + "." + info->name() + "/";
    dir += name;
    std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot make " << dir;
    return dir;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace Korvell
