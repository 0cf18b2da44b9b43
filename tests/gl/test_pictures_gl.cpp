// Pictures of every kind on a real GL context, read back: greyscale, CMYK,
// a turned photo and a PNG in their colours and places; the edge seam; a
// picture decoded ahead drawing exactly what one decoded in the frame
// draws; and a clock that jumps past a picture still being decoded.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/kvTimer.h"
#include "image/kvPictureInfo.h"
#include "image/kvPreloader.h"
#include "player/kvPlayer.h"
#include "render/kvRenderGL.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

class PicturesGL : public GLTest {
protected:
    int clientWidth() const override { return 64; }
    int clientHeight() const override { return 64; }
    // One picture over the whole 1 x 1 view, through a texture matrix.
    void drawWhole(kvTextureIndex t, const float* matrix = nullptr)
    {
        beginFrame();
        renderer->setColorRGB(vector3(1, 1, 1));
        renderer->setTextureMatrix(matrix);
        renderer->bindTexture(t);
        renderer->drawQuad(vector2(0, 0), vector2(1, 1));
        renderer->setTextureMatrix(nullptr);
    }
    void expectAt(int x, int y, int r, int g, int b, int tol, const char* what)
    {
        uint8_t p[3];
        readPixel(x, y, p);
        EXPECT_NEAR(p[0], r, tol) << what << " at " << x << "," << y;
        EXPECT_NEAR(p[1], g, tol) << what << " at " << x << "," << y;
        EXPECT_NEAR(p[2], b, tol) << what << " at " << x << "," << y;
    }
};

// A show of the given pictures, 2 s each, cut from one to the next, on the
// GL renderer.
struct Show {
    kvTimer clock{kvFakeClock::ticks};
    kvPlayer player;
    Show(kvRenderer& r, std::initializer_list<const char*> files) : player(r, clock)
    {
        kvFakeClock::now = 0;
        clock.start();
        player.setImageAreaSize(vector2(1, 1));
        for (const char* f : files) player.addImage(fixture(f), 2, TRANSITION_NONE, 1, false);
        player.loadItemTexture(0);
        player.loadItemTexture(1);
    }
};

} // namespace

TEST_F(PicturesGL, EveryKindInItsColoursAndPlaces)
{
    // JPEG's error on flat colours is a few levels; the picture is opaque.
    const int tol = 6;
    drawWhole(renderer->loadTexture(fixture("grey.jpg"), 0));
    expectAt(32, 32, 128, 128, 128, tol, "greyscale");
    drawWhole(renderer->loadTexture(fixture("cmyk.jpg"), 0));
    expectAt(32, 32, 0, 255, 255, tol, "CMYK cyan");
    // Stored as quadrants.jpg (red top left), shown turned a quarter
    // clockwise: red top right, green bottom right, blue top left.
    drawWhole(renderer->loadTexture(fixture("rotated6.jpg"), 0));
    expectAt(48, 16, 255, 0, 0, tol, "turned, top right");
    expectAt(48, 48, 0, 255, 0, tol, "turned, bottom right");
    expectAt(16, 16, 0, 0, 255, tol, "turned, top left");
    expectAt(16, 48, 255, 255, 255, tol, "turned, bottom left");
    // The PNG's right half is half transparent over the black background.
    drawWhole(renderer->loadTexture(fixture("alpha.png"), 0));
    expectAt(16, 16, 255, 0, 0, 0, "PNG, opaque red");
    expectAt(16, 48, 0, 0, 255, 0, "PNG, opaque blue");
    expectAt(48, 16, 0, 128, 0, 2, "PNG, half green");
    expectAt(48, 48, 128, 128, 128, 2, "PNG, half white");
    // WebP, HEIC and AVIF, made here from quadrants.jpg (red top left,
    // green top right, blue bottom left, white bottom right), and a WebP
    // at half opacity: a 4-byte texture over the black background.
    const std::string dir = scratchDir("formats");
    const std::string q = fixture("quadrants.jpg");
    ASSERT_EQ(std::system(("convert '" + q + "' -quality 95 '" + dir + "/q.webp' && convert '" + q + "' -quality 95 '"
                           + dir + "/q.heic' && convert '" + q + "' -quality 95 '" + dir + "/q.avif' && convert '" + q
                           + "' -alpha set -channel A -evaluate set 50% +channel -quality 100 '" + dir + "/half.webp'")
                              .c_str()),
              0);
    for (const char* name : {"q.webp", "q.heic", "q.avif"}) {
        const kvTextureIndex t = renderer->loadTexture(dir + "/" + name, 0);
        ASSERT_TRUE(t) << name;
        drawWhole(t);
        expectAt(16, 16, 255, 0, 0, 12, name);
        expectAt(48, 16, 0, 255, 0, 12, name);
        expectAt(16, 48, 0, 0, 255, 12, name);
        expectAt(48, 48, 255, 255, 255, 12, name);
    }
    drawWhole(renderer->loadTexture(dir + "/half.webp", 0));
    expectAt(16, 16, 128, 0, 0, 4, "WebP, half red");
    expectAt(48, 48, 128, 128, 128, 4, "WebP, half white");
}

TEST_F(PicturesGL, NoDarkSeamAlongThePicturesEdges)
{
    // The bottom-right corner of quadrants.jpg (white, 300 x 200 in a 512 x
    // 256 buffer) magnified 16 times with linear filtering: the last rows
    // and columns on the screen sample the picture's edge and the texel
    // beyond it, which must be the edge's own colour, not black.
    kvTextureIndex t = renderer->loadTexture(fixture("quadrants.jpg"), 1);
    const float s = 1.0f / 16.0f;
    // Texture coordinates from the corner's 16th of the picture to the edge.
    const float u0 = 300.0f / 512.0f * (1 - s), v0 = 200.0f / 256.0f * (1 - s);
    const float m[16] = {s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1, 0, u0, v0, 0, 1};
    drawWhole(t, m);
    for (int i = 0; i < 64; i += 7) {
        expectAt(i, 63, 255, 255, 255, 6, "bottom edge");
        expectAt(63, i, 255, 255, 255, 6, "right edge");
    }
    // A pan beyond the picture still reaches the black padding past that
    // one texel: the far half of the window shows it.
    const float beyond[16] = {s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1, 0, 300.0f / 512.0f, v0, 0, 1};
    drawWhole(t, beyond);
    expectAt(40, 32, 0, 0, 0, 0, "beyond the edge");
}

TEST_F(PicturesGL, ADecodedAheadSlideDrawsWhatOneDecodedInTheFrameDraws)
{
    std::vector<uint8_t> ahead, inFrame;
    {
        // Frames at the start of slide 0 until the worker has decoded and
        // uploaded slide 1's picture (a few seconds at most, however busy
        // the machine), then the switch.
        Show show(*renderer, {"quadrants.jpg", "rotated6.jpg", "red64.jpg", "blue64.jpg"});
        auto* gl = static_cast<kvRenderGL*>(renderer);
        bool ready = false;
        for (int i = 0; i < 500 && !ready; ++i) {
            kvFakeClock::setSeconds(0.5);
            beginFrame();
            show.player.update();
            ready = gl->isReadyAhead(fixture("rotated6.jpg"));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(ready) << "the worker never finished";
        kvFakeClock::setSeconds(2.5);
        beginFrame();
        show.player.update();
        ASSERT_EQ(show.player.getCurrent()->fileName, fixture("rotated6.jpg"));
        ahead = readAll();
    }
    {
        // The same switch with the picture decoded in the frame.
        kvTextureIndex t = renderer->loadTexture(fixture("rotated6.jpg"), 1, vector2(1, 1));
        drawWhole(t);
        inFrame = readAll();
    }
    EXPECT_EQ(ahead, inFrame);
    expectAt(48, 16, 255, 0, 0, 6, "turned, top right");
}

TEST_F(PicturesGL, TheClockJumpsPastAPictureStillBeingDecoded)
{
    // The worker is held: nothing it decodes is ready when the clock
    // reaches slide 1, then jumps past it to slide 2.
    auto* gl = static_cast<kvRenderGL*>(renderer);
    gl->getPreloader()->holdForTests(true);
    Show show(*renderer, {"red64.jpg", "blue64.jpg", "quadrants.jpg", "one.jpg", "red64.jpg"});
    kvFakeClock::setSeconds(0.1);
    beginFrame();
    show.player.update(); // asks for slides 1 and 2 ahead
    EXPECT_FALSE(gl->isReadyAhead(fixture("blue64.jpg")));
    kvFakeClock::setSeconds(2.0);
    beginFrame();
    show.player.update();
    expectAt(32, 32, 0, 0, 255, 2, "slide 1, decoded in the frame");
    kvFakeClock::setSeconds(4.5);
    beginFrame();
    show.player.update();
    ASSERT_EQ(show.player.getCurrent()->fileName, fixture("quadrants.jpg"));
    expectAt(16, 16, 255, 0, 0, 6, "slide 2, top left");
    expectAt(48, 48, 255, 255, 255, 6, "slide 2, bottom right");
    // Released, the worker's late pictures are never drawn in place of the
    // right ones.
    gl->getPreloader()->holdForTests(false);
    for (int i = 0; i < 20; ++i) {
        kvFakeClock::setSeconds(4.6 + 0.01 * i);
        beginFrame();
        show.player.update();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    expectAt(16, 16, 255, 0, 0, 6, "slide 2 still");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A picture taken by the show in each state it can be in ahead of its
// slide is, in that very frame, exactly the picture decoded in the frame:
// every texel of its GL storage. RGB and RGBA buffers of the widths where
// a whole upload's row count once wrapped to a negative int (all but RGB
// 4), each over storage that last held another picture of its size.
TEST_F(PicturesGL, APictureDecodedAheadIsWholeInEveryState)
{
    kvRenderGL* gl = static_cast<kvRenderGL*>(renderer);
    const std::string dir = scratchDir("ahead-states");
    enum State { DECODED, PARTLY, FROM_THE_WORKER, IN_THE_FRAME };
    const char* const stateNames[] = {"decoded, nothing uploaded", "partly uploaded", "taken from the worker",
                                      "decoded in the frame"};
    struct Kind {
        int width;
        bool alpha;
    } kinds[] = {{2, false}, {8, false}, {32, false}, {128, false}, {512, false}, {2048, false},
                 {4, false}, {2, true},  {32, true},  {512, true},  {2048, true}};
    for (const Kind& k : kinds) {
        // Six rows of their own colours (a half upload shows), and a white
        // decoy of the same size whose storage the picture inherits.
        const std::string name = dir + "/" + std::to_string(k.width) + (k.alpha ? "a" : "") + ".png";
        const std::string decoy = dir + "/decoy" + std::to_string(k.width) + (k.alpha ? "a" : "") + ".png";
        const std::string fmt = k.alpha ? "PNG32:" : "PNG24:";
        const std::string size = "-size " + std::to_string(k.width) + "x1 ";
        const std::string a = k.alpha ? "80" : "";
        const std::string make = "convert " + size + "xc:'#ff0000" + a + "' xc:'#00ff00" + a + "' xc:'#0000ff" + a
                                 + "' xc:'#ffff00" + a + "' xc:'#00ffff" + a + "' xc:'#ff00ff" + a + "' -append " + fmt
                                 + "'" + name + "' && convert -size " + std::to_string(k.width) + "x6 xc:'#ffffff" + a
                                 + "' " + fmt + "'" + decoy + "'";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        const std::string what = std::to_string(k.width) + (k.alpha ? " RGBA" : " RGB");
        std::vector<uint8_t> expected;
        for (State state : {IN_THE_FRAME, DECODED, PARTLY, FROM_THE_WORKER}) {
            const std::string where = what + ", " + stateNames[state];
            gl->deleteTexture(gl->loadTexture(decoy, 1));
            kvPreloadRequest ahead;
            ahead.fileName = name;
            const size_t rowBytes = static_cast<size_t>(bufferSide(k.width)) * (k.alpha ? 4 : 3);
            gl->setUploadSliceBytes(state == DECODED ? 0 : 2 * rowBytes);
            if (state == FROM_THE_WORKER) {
                gl->getPreloader()->holdForTests(true);
                gl->preloadTextures({ahead});
                gl->getPreloader()->holdForTests(false);
                for (int i = 0; i < 500 && !gl->getPreloader()->isFinished(name); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                ASSERT_TRUE(gl->getPreloader()->isFinished(name)) << where;
                ASSERT_EQ(gl->rowsUploadedAhead(name), -1) << where; // still the worker's
            } else if (state != IN_THE_FRAME) {
                for (int i = 0; i < 500 && gl->rowsUploadedAhead(name) < 0; ++i) {
                    gl->preloadTextures({ahead});
                    if (gl->rowsUploadedAhead(name) < 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
                ASSERT_EQ(gl->rowsUploadedAhead(name), state == DECODED ? 0 : 2) << where;
            }
            const kvTextureIndex t = gl->loadTexture(name, 1);
            ASSERT_NE(t, kvTextureIndex(0)) << where;
            std::vector<uint8_t> texels;
            ASSERT_TRUE(gl->readTexels(t, texels)) << where;
            if (state == IN_THE_FRAME) {
                expected = texels;
                // The reference itself: the first and last rows' colours.
                EXPECT_EQ(texels[0], 255) << where;
                EXPECT_EQ(texels[1], 0) << where;
                EXPECT_EQ(texels[rowBytes * 5 + 0], 255) << where;
                EXPECT_EQ(texels[rowBytes * 5 + 1], 0) << where;
                EXPECT_EQ(texels[rowBytes * 5 + 2], 255) << where;
            } else {
                size_t wrong = 0;
                for (size_t i = 0; i < texels.size(); ++i) wrong += texels[i] != expected[i];
                EXPECT_EQ(wrong, 0u) << where << ": " << wrong << " of " << texels.size() << " bytes differ";
            }
            gl->deleteTexture(t);
        }
    }
    gl->setUploadSliceBytes(kvRenderGL::kUploadSliceBytes);
}

// A slide with a blurred backdrop lets go of two textures, the picture
// and its small blurred copy; the picture's storage is the one kept for
// the next picture of its size, whichever goes last (the small one kept
// instead made every later switch allocate anew).
TEST_F(PicturesGL, APicturesStorageOutlivesItsBlurredCopy)
{
    kvRenderGL* gl = static_cast<kvRenderGL*>(renderer);
    const std::string dir = scratchDir("spare-storage");
    const std::string first = dir + "/first.png", next = dir + "/next.png";
    ASSERT_EQ(std::system(("convert -size 300x300 xc:red PNG24:'" + first + "' && convert -size 300x300 xc:blue PNG24:'"
                           + next + "'").c_str()),
              0);
    auto nameOf = [&](kvTextureIndex t) {
        gl->bindTexture(t);
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return static_cast<GLuint>(name);
    };
    for (bool blurLast : {true, false}) {
        kvTextureIndex blur;
        const kvTextureIndex picture = gl->loadTexture(first, 1, vector2(), nullptr, &blur);
        ASSERT_NE(picture, kvTextureIndex(0));
        ASSERT_NE(blur, kvTextureIndex(0));
        const GLuint storage = nameOf(picture);
        gl->bindTexture(kvTextureIndex());
        if (blurLast) {
            gl->deleteTexture(picture);
            gl->deleteTexture(blur);
        } else {
            gl->deleteTexture(blur);
            gl->deleteTexture(picture);
        }
        EXPECT_EQ(glIsTexture(storage), GL_TRUE) << (blurLast ? "blurred copy last" : "picture last");
        const kvTextureIndex again = gl->loadTexture(next, 1);
        EXPECT_EQ(nameOf(again), storage) << (blurLast ? "blurred copy last" : "picture last");
        gl->bindTexture(kvTextureIndex());
        gl->deleteTexture(again);
    }
}

// A picture's focus is found on the worker, never in the frame, never
// before the picture and never before the show's first frame is drawn: a
// picture the frame decodes itself has none until the worker has found it;
// one decoded ahead is ready before its focus is, which follows; one seen
// before has it at once. (The waits are long for ThreadSanitizer's sake:
// each ends as soon as the worker is done.)
TEST_F(PicturesGL, AFocusIsFoundOnTheWorkerNeverInTheFrame)
{
    auto* gl = static_cast<kvRenderGL*>(renderer);
    const std::string photos = std::string(KORVELL_BINARY_DIR) + "/photos/";
    const std::string portrait = photos + "astronaut.png", cat = photos + "chelsea.png";
    gl->getPreloader()->holdForTests(true);
    gl->setFocusWanted(true);
    std::string why;
    kvTextureIndex t = gl->loadTexture(portrait, 1, vector2(), &why);
    ASSERT_TRUE(t) << why;
    kvRegion face;
    EXPECT_FALSE(gl->textureFocus(t, &face)) << "not looked for in the frame";
    gl->getPreloader()->holdForTests(false);
    // No frame drawn yet: the worker leaves the faces for later.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(gl->textureFocus(t, &face)) << "looked for before the first frame";
    beginFrame();
    beginFrame();
    for (int i = 0; i < 6000 && !gl->textureFocus(t, &face); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(gl->textureFocus(t, &face)) << "found by the worker";
    EXPECT_TRUE(face.x <= 0.36f && face.right() >= 0.52f && face.y <= 0.17f && face.bottom() >= 0.34f);
    // Seen again: known at once, the worker held.
    gl->deleteTexture(t);
    gl->getPreloader()->holdForTests(true);
    t = gl->loadTexture(portrait, 1, vector2(), &why);
    kvRegion again;
    EXPECT_TRUE(gl->textureFocus(t, &again));
    EXPECT_EQ(again.x, face.x);
    gl->getPreloader()->holdForTests(false);
    // Decoded ahead: the picture is taken as soon as it is ready, and its
    // focus follows from the worker.
    kvPreloadRequest ahead;
    ahead.fileName = cat;
    ahead.focus = true;
    for (int i = 0; i < 6000 && !gl->isReadyAhead(cat); ++i) {
        gl->preloadTextures({ahead});
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(gl->isReadyAhead(cat));
    gl->setFocusWanted(true);
    const kvTextureIndex c = gl->loadTexture(cat, 1, vector2(), &why);
    kvRegion busiest;
    for (int i = 0; i < 6000 && !gl->textureFocus(c, &busiest); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(gl->textureFocus(c, &busiest)) << "its focus follows";
    EXPECT_NEAR(busiest.width, 1.0f / 3, 0.02f);
    gl->setFocusWanted(false);
}
