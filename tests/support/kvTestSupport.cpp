// Test helpers.
#include "support/kvTestSupport.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>


namespace Korvell {

uint32_t kvFakeClock::now = 0;

void RecordingTest::SetUp()
{
    kvFakeClock::now = 0;
    clock.start();
    rec = new kvRecordingRenderer();
}

void RecordingTest::TearDown()
{
    EXPECT_EQ(rec->deadUses, 0) << "a dead texture index was used";
    delete rec;
    rec = nullptr;
}

void PlayerTest::SetUp()
{
    RecordingTest::SetUp();
    player = new kvPlayer(*rec, clock);
    player->setImageAreaSize(vector2(800, 600));
}

void PlayerTest::TearDown()
{
    delete player;
    player = nullptr;
    RecordingTest::TearDown();
}

kvPlayerItem* PlayerTest::add(const std::string& file, float time, int transition, float ttime)
{
    return player->addImage(file, time, transition, ttime, time == 0.0f);
}

void PlayerTest::preload()
{
    player->loadItemTexture(0);
    player->loadItemTexture(1);
}

bool PlayerTest::frame(double t)
{
    kvFakeClock::setSeconds(t);
    rec->lines.clear();
    player->update();
    return player->isOver();
}

std::string PlayerTest::currentFile() const
{
    return player->getCurrent() ? player->getCurrent()->fileName : "(none)";
}

void GLTest::SetUp()
{
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display (make test starts Xvfb)";
    app = new kvBaseGL();
    app->setMode(clientWidth(), clientHeight(), 60, false);
    ASSERT_TRUE(app->createAppWindow("Korvell GL test"));
    ASSERT_TRUE(app->initApi());
    renderer = app->getRenderer();
    ASSERT_NE(renderer, nullptr);
    ASSERT_EQ(app->getClientWidth(), clientWidth());
    ASSERT_EQ(app->getClientHeight(), clientHeight());
}

void GLTest::TearDown()
{
    if (app) {
        app->releaseApi();
        app->destroyAppWindow();
        delete app;
    }
}

void PlayerGLTest::SetUp()
{
    GLTest::SetUp();
    if (IsSkipped()) return;
    kvFakeClock::now = 0;
    clock.start();
    player = new kvPlayer(*renderer, clock);
    player->setImageAreaSize(vector2(1, 1));
}

void PlayerGLTest::TearDown()
{
    delete player;
    player = nullptr;
    GLTest::TearDown();
}

void PlayerGLTest::frameAt(double t)
{
    kvFakeClock::setSeconds(t);
    beginFrame();
    player->update();
}

void GLTest::beginFrame()
{
    renderer->clear();
    renderer->setupView(clientWidth(), clientHeight());
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

int GLTest::glTextureCount() const
{
    // Mesa hands out small names in order; a few thousand cover any test.
    int n = 0;
    for (GLuint name = 1; name < 4096; ++name) n += glIsTexture(name) == GL_TRUE;
    return n;
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

std::string toneWav(double seconds, int rate, double hz, int channels, double amplitude)
{
    const long n = static_cast<long>(seconds * rate);
    std::string data;
    for (long i = 0; i < n; ++i) {
        const int16_t v = static_cast<int16_t>(std::lround(32767 * amplitude * std::sin(2 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c) {
            data += static_cast<char>(v & 0xFF);
            data += static_cast<char>((v >> 8) & 0xFF);
        }
    }
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    const uint32_t r = static_cast<uint32_t>(rate), block = 2u * static_cast<uint32_t>(channels);
    return "RIFF" + u32(36 + static_cast<uint32_t>(data.size())) + "WAVEfmt " + u32(16) + u16(1)
           + u16(static_cast<uint16_t>(channels)) + u32(r) + u32(r * block) + u16(static_cast<uint16_t>(block)) + u16(16)
           + "data" + u32(static_cast<uint32_t>(data.size())) + data;
}

} // namespace Korvell
