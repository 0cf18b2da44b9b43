// Slides aimed at what matters in the picture: the crop and the zoom kept
// around a focus at every moment of a slide's motion, and faces found in
// real photographs (scikit-image's, from its Debian package), none in a
// cat's.
#include <gtest/gtest.h>

#include <fstream>

#include "image/kvFocusFinder.h"
#include "image/kvPictureDecoder.h"
#include "image/kvTexture.h"
#include "player/kvFit.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

bool inside(const kvRegion& r, const kvFitGeometry& g)
{
    const float eps = 1e-4f;
    return r.x >= g.windowX0 - eps && r.right() <= g.windowX1 + eps && r.y >= g.windowY0 - eps
           && r.bottom() <= g.windowY1 + eps;
}

} // namespace

TEST(Focus, TheWindowKeepsTheFocusThroughTheWholeMotion)
{
    // A 3:4 portrait covering 16:9 shows 42 % of its height: heads in its
    // upper third are cut by the centred crop and kept with a focus.
    const kvRegion head = kvRegion{0.35f, 0.08f, 0.3f, 0.22f};
    const kvFitGeometry centred = fitGeometry(FIT_COVER, 1920, 1080, 3000, 4000, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(centred.windowY1 - centred.windowY0, 0.42f, 0.01f);
    EXPECT_FALSE(inside(head, centred)) << "the centred crop cuts the head";
    struct Case {
        const char* what;
        kvFitMode mode;
        float pw, ph;
        kvRegion focus;
        float z0, z1, x0, x1, y0, y1; // zoom and shift at the slide's start and end
    } cases[] = {
        {"cover, still", FIT_COVER, 3000, 4000, head, 1, 1, 0, 0, 0, 0},
        {"cover, zoom in and pan", FIT_COVER, 3000, 4000, head, 1.0f, 1.3f, -0.1f, 0.1f, 0.05f, -0.05f},
        {"cover, a face at the very top", FIT_COVER, 3000, 4000, kvRegion{0.1f, 0.0f, 0.2f, 0.1f}, 1, 1.2f, 0, 0, 0, 0},
        {"cover, a landscape's face at the right edge", FIT_COVER, 4000, 2000, kvRegion{0.88f, 0.3f, 0.12f, 0.2f}, 1, 1.15f,
         0, 0, 0, 0},
        {"contain, zooming onto a face", FIT_CONTAIN, 4000, 3000, kvRegion{0.7f, 0.2f, 0.1f, 0.15f}, 1, 2.5f, 0, 0, 0, 0},
        {"blur, a group wide across", FIT_BLUR, 3000, 4000, kvRegion{0.05f, 0.4f, 0.9f, 0.2f}, 1.1f, 1.0f, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (float p = 0.0f; p <= 1.0f; p += 0.125f) {
            const kvFitGeometry g = fitGeometry(c.mode, 1920, 1080, c.pw, c.ph, c.z0 + (c.z1 - c.z0) * p,
                                                c.x0 + (c.x1 - c.x0) * p, c.y0 + (c.y1 - c.y0) * p, c.focus);
            EXPECT_TRUE(inside(c.focus, g)) << "at " << p;
            EXPECT_TRUE(g.focusInside) << "at " << p;
            EXPECT_TRUE(g.windowX0 >= 0 && g.windowY0 >= 0 && g.windowX1 <= 1.0001f && g.windowY1 <= 1.0001f)
                << "never past the picture at " << p;
        }
    }
    // Centred on the focus where the picture allows: the head's centre is
    // the window's.
    const kvFitGeometry g = fitGeometry(FIT_COVER, 1920, 1080, 3000, 4000, 1.0f, 0.0f, 0.0f, kvRegion{0.4f, 0.4f, 0.2f, 0.1f});
    EXPECT_NEAR(0.5f * (g.windowY0 + g.windowY1), 0.45f, 1e-4f);
    // A focus larger than the window: centred on it, and said to be cut.
    const kvFitGeometry big = fitGeometry(FIT_COVER, 1920, 1080, 3000, 4000, 1.0f, 0.0f, 0.0f, kvRegion{0.1f, 0.1f, 0.8f, 0.8f});
    EXPECT_FALSE(big.focusInside);
    EXPECT_NEAR(0.5f * (big.windowY0 + big.windowY1), 0.5f, 1e-4f);
    // No focus: as it always was.
    const kvFitGeometry none = fitGeometry(FIT_COVER, 1920, 1080, 3000, 4000, 1.2f, 0.05f, 0.0f, kvRegion());
    const kvFitGeometry before = fitGeometry(FIT_COVER, 1920, 1080, 3000, 4000, 1.2f, 0.05f, 0.0f);
    EXPECT_EQ(none.windowX0, before.windowX0);
    EXPECT_EQ(none.windowY0, before.windowY0);
}

// Real photographs: a portrait's face found where it is, with its head;
// a profile (the cameraman) and a cat's face are not faces; without a
// face the busiest region stands in.
TEST(Focus, FacesAreFoundInRealPhotographsAndNoneInACat)
{
    const std::string photos = std::string(KORVELL_BINARY_DIR) + "/photos/";
    auto load = [&](const std::string& name, kvTexture& t) {
        std::ifstream in(photos + name, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return !bytes.empty() && decodePicture(bytes, 0, 0, t, nullptr);
    };
    kvTexture astronaut, cat, cameraman, coffee;
    ASSERT_TRUE(load("astronaut.png", astronaut) && load("chelsea.png", cat) && load("camera.png", cameraman)
                && load("coffee.png", coffee))
        << "scripts/fetch-photos.sh fetches them";
    // The astronaut's face: about x 0.35 to 0.53, y 0.16 to 0.35 of the
    // 512 x 512 photograph (measured by eye on it).
    const kvPictureFocus face = findFocus(astronaut);
    EXPECT_EQ(face.faces, 1);
    EXPECT_TRUE(face.region.x <= 0.36f && face.region.right() >= 0.52f && face.region.y <= 0.17f
                && face.region.bottom() >= 0.34f)
        << face.region.x << " " << face.region.y << " " << face.region.width << " " << face.region.height;
    EXPECT_LT(face.region.width, 0.4f) << "the face, not the whole picture";
    for (const kvTexture* t : {&cat, &cameraman, &coffee}) {
        const kvPictureFocus f = findFocus(*t);
        EXPECT_EQ(f.faces, 0);
        EXPECT_NEAR(f.region.width, 1.0f / 3, 0.02f) << "the busiest third stands in";
    }
    // The coffee cup fills the middle of its photograph: the busiest third
    // lies on it, not in a corner of the table.
    const kvRegion cup = findFocus(coffee).region;
    EXPECT_GT(cup.x + cup.width / 2, 0.25f);
    EXPECT_LT(cup.x + cup.width / 2, 0.75f);
}

// A focus the worker finds after its slide began (the first slide of a
// show) comes in over half a second from the centred window, frame by
// frame, never with a jump; one known before the slide is there at once.
TEST_F(PlayerTest, ALateFocusEasesInAndAnEarlyOneIsThereAtOnce)
{
    rec->sizes["portrait.jpg"] = {3000, 4000};
    rec->sizes["known.jpg"] = {3000, 4000};
    player->setViewSize(vector2(16, 9));
    player->setImageAreaSize(vector2(16, 9));
    player->setFit(FIT_COVER);
    kvFocus autoFocus;
    autoFocus.mode = FOCUS_AUTO;
    player->setFocus(autoFocus);
    add("portrait.jpg", 4);
    add("known.jpg", 4);
    add("end", 1);
    rec->focuses["known.jpg"] = kvRegion{0.3f, 0.05f, 0.4f, 0.2f};
    preload();
    // The window's top, of the buffer, as the slide's texture matrix says.
    auto top = [&]() { return player->getCurrent()->textureMatrix[13]; };
    frame(0.0);
    const float centred = top();
    frame(0.2);
    EXPECT_EQ(top(), centred) << "no focus yet: centred";
    rec->focuses["portrait.jpg"] = kvRegion{0.3f, 0.05f, 0.4f, 0.2f};
    frame(0.3);
    EXPECT_EQ(top(), centred) << "the ease begins where the window was";
    float last = centred;
    for (double t = 0.35; t <= 0.8; t += 0.05) {
        frame(t);
        EXPECT_LE(top(), last + 1e-6f) << "moving up to the face at " << t;
        EXPECT_GT(last - top(), 0.0f) << "a step at " << t;
        EXPECT_LT(last - top(), 0.5f * (centred - 0.0f)) << "no jump at " << t;
        last = top();
    }
    frame(1.0);
    const float aimed = top();
    EXPECT_LT(aimed, centred);
    frame(1.5);
    EXPECT_EQ(top(), aimed) << "eased in: it stays";
    // Known before its slide: aimed from its first frame.
    frame(4.0);
    ASSERT_EQ(currentFile(), "known.jpg");
    EXPECT_FLOAT_EQ(top(), aimed);
}
