// The OpenGL context and renderer on a hidden window under Xvfb, with
// pixels read back from the back buffer. Opaque pixels are compared
// exactly; blended ones within 2 of 255.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "image/kvTexture.h"
#include "image/kvTextureModifier.h"
#include "render/kvFrameReader.h"
#include "render/kvRenderGL.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

using Context = GLTest;
using Renderer = GLTest;

class StretchedView : public GLTest {
protected:
    int clientWidth() const override { return 100; }
    int clientHeight() const override { return 40; }
};

// A fresh frame with texture t over the whole 1 x 1 view, in white.
void drawWhole(kvRenderer* renderer, kvTextureIndex t)
{
    renderer->clear();
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    renderer->setupView(view[2], view[3]);
    renderer->setColorRGB(vector3(1, 1, 1));
    renderer->bindTexture(t);
    renderer->drawQuad(vector2(0, 0), vector2(1, 1));
}

void expectRGB(const uint8_t* p, int r, int g, int b, int tol = 0)
{
    EXPECT_NEAR(p[0], r, tol);
    EXPECT_NEAR(p[1], g, tol);
    EXPECT_NEAR(p[2], b, tol);
}

} // namespace

TEST_F(Context, FallsBackThroughTheSampleCountsAndClears)
{
    const std::vector<int>& tried = app->getSampleAttempts();
    ASSERT_FALSE(tried.empty());
    EXPECT_EQ(tried.front(), 8);
    // Each try lowers the count by two until one is accepted.
    for (size_t i = 1; i < tried.size(); ++i) EXPECT_EQ(tried[i], tried.size() == 5 && i == 4 ? 0 : 8 - 2 * static_cast<int>(i));
    EXPECT_EQ(tried.back(), app->getSamples());
    EXPECT_TRUE(app->getSamples() == 0 || app->getSamples() % 2 == 0);
    renderer->setClearColor(vector3(1.0f, 0.5f, 0.0f));
    renderer->clear();
    uint8_t p[3];
    readPixel(10, 10, p);
    EXPECT_EQ(p[0], 255);
    EXPECT_NEAR(p[1], 128, 1);
    EXPECT_EQ(p[2], 0);
}

TEST_F(Context, SecondWindowAndSecondReleaseAreRefused)
{
    EXPECT_FALSE(app->createAppWindow("again"));
    EXPECT_TRUE(app->releaseApi());
    EXPECT_EQ(app->getRenderer(), nullptr);
    EXPECT_FALSE(app->releaseApi());
    EXPECT_TRUE(app->destroyAppWindow());
    EXPECT_FALSE(app->destroyAppWindow());
}

// The window and context made while the setup dialog waits are the show's:
// taken once, fitted to the mode chosen after them (size, border), and the
// context draws; before they are taken nothing of theirs is the app's.
TEST(ContextAhead, IsTakenForTheModeChosenAfterIt)
{
    kvBaseGL app;
    app.prepareAhead(320, 200, true);
    EXPECT_EQ(app.getWindow(), nullptr);
    EXPECT_EQ(app.getRenderer(), nullptr);
    const std::vector<int> tried = app.getSampleAttempts();
    ASSERT_FALSE(tried.empty());
    app.prepareAhead(64, 64, false); // once only
    EXPECT_EQ(app.getSampleAttempts(), tried);
    app.setMode(96, 72, 60, false);
    ASSERT_TRUE(app.createAppWindow("Korvell"));
    EXPECT_FALSE(app.createAppWindow("again"));
    EXPECT_EQ(app.getClientWidth(), 96);
    EXPECT_EQ(app.getClientHeight(), 72);
    EXPECT_FALSE(SDL_GetWindowFlags(app.getWindow()) & SDL_WINDOW_BORDERLESS);
    ASSERT_TRUE(app.initApi());
    EXPECT_EQ(app.getSampleAttempts(), tried); // no second context was made
    EXPECT_EQ(app.getSamples(), tried.back());
    kvRenderer* renderer = app.getRenderer();
    ASSERT_NE(renderer, nullptr);
    renderer->setClearColor(vector3(0.0f, 1.0f, 0.0f));
    renderer->clear();
    uint8_t p[3];
    glReadPixels(90, 60, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    expectRGB(p, 0, 255, 0);
    app.releaseApi();
    app.destroyAppWindow();
}

TEST_F(Renderer, PictureIsDrawnUprightInItsOwnColours)
{
    kvTextureIndex t = renderer->loadTexture(fixture("quadrants.jpg"), 0);
    ASSERT_EQ(t, kvTextureIndex(1));
    beginFrame(); // 1 x 1 view: a quad from (0,0) to (1,1) fills the window
    renderer->setColorRGB(vector3(1, 1, 1));
    renderer->bindTexture(t);
    renderer->drawQuad(vector2(0, 0), vector2(1, 1));
    uint8_t p[3];
    readPixel(16, 12, p);
    expectRGB(p, 255, 0, 0, 6);
    readPixel(48, 12, p);
    expectRGB(p, 0, 255, 0, 6);
    readPixel(16, 36, p);
    expectRGB(p, 0, 0, 255, 6);
    readPixel(48, 36, p);
    expectRGB(p, 255, 255, 255, 6);
}

TEST_F(Renderer, UntexturedQuadsBlendByTheirAlpha)
{
    renderer->setClearColor(vector3(0, 0, 1));
    beginFrame();
    renderer->bindTexture(kvTextureIndex(0));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    // Opaque quads are drawn without blending and transparent ones not at
    // all: neither may change what a half-transparent one drawn after does.
    renderer->setColorRGBA(vector4(0, 1, 0, 1));
    renderer->drawQuad(vector2(0.75f, 0), vector2(1, 1));
    renderer->setColorRGBA(vector4(1, 1, 1, 0));
    renderer->drawQuad(vector2(0, 0), vector2(1, 1));
    renderer->setColorRGBA(vector4(1, 0, 0, 0.5f));
    renderer->drawQuad(vector2(0, 0), vector2(0.5f, 1));
    uint8_t p[3];
    readPixel(8, 20, p);
    expectRGB(p, 128, 0, 127, 2);
    readPixel(40, 20, p);
    expectRGB(p, 0, 0, 255);
    readPixel(56, 20, p);
    expectRGB(p, 0, 255, 0);
}

TEST_F(StretchedView, ViewIsStretchedOverTheClientAreaYDownwards)
{
    renderer->setViewSize(800, 600);
    beginFrame();
    renderer->bindTexture(kvTextureIndex(0));
    renderer->setColorRGB(vector3(0, 1, 0));
    // The lower-right quarter of the view is the lower-right quarter of
    // the window, whatever the window's shape.
    renderer->drawQuad(vector2(400, 300), vector2(800, 600));
    uint8_t p[3];
    readPixel(49, 19, p);
    expectRGB(p, 0, 0, 0);
    readPixel(50, 20, p);
    expectRGB(p, 0, 255, 0);
    readPixel(99, 39, p);
    expectRGB(p, 0, 255, 0);
    readPixel(99, 19, p);
    expectRGB(p, 0, 0, 0);
}

TEST_F(Renderer, FarTextureCoordinatesShowOnlyThePicture)
{
    // A 300 x 200 picture in a 512 x 256 buffer: the zero padding must
    // never show, so the bottom-right corner is the white quadrant.
    kvTextureIndex t = renderer->loadTexture(fixture("quadrants.jpg"), 0);
    drawWhole(renderer, t);
    uint8_t p[3];
    readPixel(63, 47, p);
    expectRGB(p, 255, 255, 255, 6);
}

TEST_F(Renderer, IndexesAreNeverReusedAndDeletedIndexesDrawPlain)
{
    kvTextureIndex a = renderer->createTexture(4, 4, 24, 0);
    kvTextureIndex b = renderer->createTexture(4, 4, 32, 0);
    EXPECT_EQ(a, kvTextureIndex(1));
    EXPECT_EQ(b, kvTextureIndex(2));
    renderer->deleteTexture(kvTextureIndex(1));
    renderer->deleteTexture(kvTextureIndex(0));
    EXPECT_EQ(renderer->createTexture(4, 4, 24, 0), kvTextureIndex(3));
    EXPECT_EQ(renderer->createTexture(4, 4, 16, 0), kvTextureIndex(0));
    EXPECT_EQ(renderer->loadTexture(fixture("text.jpg"), 1), kvTextureIndex(0));
    EXPECT_FALSE(renderer->setTextureModifier(kvTextureIndex(4), new kvNoiseModifier()));
    // Drawing with the deleted index bound uses far coordinates (1, 1) and
    // reads nothing that is gone.
    renderer->bindTexture(kvTextureIndex(1));
    renderer->setupView(clientWidth(), clientHeight());
    renderer->drawQuad(vector2(0, 0), vector2(1, 1));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Renderer, ADeadIndexNeverReachesALiveTexture)
{
    // GL hands a deleted texture's name to the next texture it makes; a
    // second delete (or a bind, refresh or release) of the dead index must
    // leave that new texture alone.
    kvTextureIndex old = renderer->loadTexture(fixture("blue64.jpg"), 0);
    ASSERT_NE(old, kvTextureIndex(0));
    renderer->deleteTexture(old);
    kvTextureIndex live = renderer->loadTexture(fixture("red64.jpg"), 0);
    ASSERT_NE(live, kvTextureIndex(0));
    renderer->deleteTexture(old);
    renderer->refreshTexture(old);
    EXPECT_FALSE(renderer->releaseTextureData(old));
    drawWhole(renderer, old); // a dead index draws plain white
    uint8_t p[3];
    readPixel(32, 24, p);
    expectRGB(p, 255, 255, 255);
    drawWhole(renderer, live);
    readPixel(32, 24, p);
    expectRGB(p, 254, 0, 0, 2);
    EXPECT_EQ(glTextureCount(), 1);
}

TEST_F(Renderer, NoiseIsGreyAndChangesBetweenRefreshes)
{
    kvTextureIndex t = renderer->createTexture(32, 32, 24, 0);
    ASSERT_TRUE(renderer->setTextureModifier(t, new kvNoiseModifier()));
    auto frame = [&]() {
        renderer->refreshTexture(t);
        drawWhole(renderer, t);
        return readAll();
    };
    std::vector<uint8_t> first = frame();
    std::vector<uint8_t> second = frame();
    EXPECT_NE(first, second);
    for (size_t i = 0; i < first.size(); i += 3) {
        ASSERT_EQ(first[i], first[i + 1]);
        ASSERT_EQ(first[i], first[i + 2]);
        ASSERT_LT(first[i], 255);
    }
}

TEST_F(Renderer, ReleasedPixelsKeepTheGLCopy)
{
    kvTextureIndex t = renderer->loadTexture(fixture("red64.jpg"), 1);
    ASSERT_NE(t, kvTextureIndex(0));
    EXPECT_TRUE(renderer->releaseTextureData(t));
    EXPECT_FALSE(renderer->releaseTextureData(t));
    drawWhole(renderer, t);
    uint8_t p[3];
    readPixel(32, 24, p);
    expectRGB(p, 254, 0, 0, 2);
}

// The render's read-back, at each moment of a frame: after frame n is
// drawn, `previous` gives frame n - 1 (none after the first), top row
// first; `last` gives the final frame, once. Each frame: its own
// background, a white band along the top.
TEST_F(Renderer, FramesAreReadBackOneBehindTopRowFirst)
{
    const int w = clientWidth(), h = clientHeight();
    kvFrameReader reader(w, h);
    const vector3 colours[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    // The frame's background (BGRA, its last row) and its white first row.
    auto expectFrame = [&](const uint8_t* frame, int stride, const vector3& c, const char* when) {
        ASSERT_TRUE(frame != nullptr && std::abs(stride) == w * 4) << when;
        const uint8_t* bottom = frame + static_cast<long>(h - 1) * stride;
        EXPECT_EQ(std::vector<int>({bottom[2], bottom[1], bottom[0]}),
                  std::vector<int>({int(c.x * 255), int(c.y * 255), int(c.z * 255)})) << when;
        EXPECT_EQ(frame[0] + frame[1] + frame[2], 3 * 255) << when << ": the band is on the first row";
    };
    int stride = 0;
    for (size_t n = 0; n < 4; ++n) {
        renderer->setClearColor(colours[n]);
        beginFrame();
        renderer->bindTexture(kvTextureIndex());
        renderer->setColorRGB(vector3(1, 1, 1));
        renderer->drawQuad(vector2(0, 0), vector2(1, 0.25f));
        const uint8_t* before = reader.previous(&stride);
        if (n == 0)
            EXPECT_EQ(before, nullptr) << "nothing is queued before the first frame";
        else
            expectFrame(before, stride, colours[n - 1], "the frame before");
        reader.queue();
    }
    expectFrame(reader.last(&stride), stride, colours[3], "the last frame");
    EXPECT_EQ(reader.last(&stride), nullptr) << "the last frame is given once";
}
