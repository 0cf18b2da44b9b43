// A folder show's script: written as SCRIPTING.md teaches, it reads back
// as the show it describes and checks clean; every slide's pan and zoom
// stays inside its picture; names a script cannot hold are told.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <set>

#include "player/kvFit.h"
#include "player/kvPlayerItem.h"
#include "render/kvNullRenderer.h"
#include "script/kvChecker.h"
#include "script/kvFolderShow.h"
#include "script/kvScriptedShow.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

// A written show read back as the player would have it, drawing nothing,
// its clock still and its log silent.
struct QuietShow {
    struct StillClock : kvClock {
        float elapsed() const override { return 0.0f; }
        void setElapsed(float) override {}
    };
    static kvScriptedShow::Options silent()
    {
        kvScriptedShow::Options options;
        options.log = "";
        return options;
    }
    kvNullRenderer renderer;
    StillClock clock;
    kvScriptedShow show{renderer, clock, silent()};
};

} // namespace

TEST(FolderShow, TheWrittenScriptReadsBackAsItsShowAndChecksClean)
{
    const std::string dir = scratchDir("folder-show");
    writeFile(dir + "/a & b.jpg", readFile(fixture("quadrants.jpg")));
    writeFile(dir + "/tall.jpg", readFile(fixture("column64.jpg")));
    writeFile(dir + "/song.wav", "not read: the hook answers");
    std::vector<kvPhoto> photos(3);
    photos[0].path = "a & b.jpg";
    photos[0].caption = "Fish & chips <at> \"the pier\"\nsecond line";
    photos[0].width = 4;
    photos[0].height = 3;
    photos[1].path = "tall.jpg";
    photos[1].caption = "Καλημέρα";
    photos[1].width = 3;
    photos[1].height = 4;
    photos[1].taken = "2024:05:06 07:08:09";
    photos[2].path = "a & b.jpg";
    kvFolderShowOptions o;
    o.captions = true;
    o.fit = "cover";
    // Two tracks crossfaded, and the first two slides cut on beats.
    o.music = {"song.wav", "b & c.ogg"};
    o.musicCrossfade = 1.5;
    o.times = {13.5004, 6.0};
    o.comments = true;
    o.madeBy = "Made -- by a test";
    o.regions.resize(1);
    o.regions[0].x = 0.25f;
    o.regions[0].y = 0.125f;
    o.regions[0].width = 0.5f;
    o.regions[0].height = 0.25f;
    kvFolderShowOptions centred = o;
    centred.focus = false;
    EXPECT_EQ(writeFolderScript(photos, centred).find("<focus"), std::string::npos);
    const std::string text = writeFolderScript(photos, o);
    writeFile(dir + "/show.xml", text);
    EXPECT_NE(text.find("<!-- taken 2024-05-06 07:08:09 -->"), std::string::npos) << text;
    EXPECT_EQ(text.find("--", text.find("<!--") + 4), text.find("-->")) << "no -- inside the first comment";

    char home[4096];
    ASSERT_TRUE(getcwd(home, sizeof home));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    kvCheckHooks hooks;
    hooks.pictureProblem = [](const std::vector<uint8_t>&, std::string*) { return std::string(); };
    hooks.musicProblem = [](const std::string&, double* seconds) {
        *seconds = 15.0;
        return std::string();
    };
    hooks.creditsPictures = [](const kvDataFile&) { return false; };
    const std::vector<kvFinding> findings = checkScript("show.xml", hooks);
    ASSERT_EQ(findings.size(), 1u) << formatFinding("show.xml", findings.back());
    EXPECT_TRUE(findings[0].note) << findings[0].text;

    QuietShow quiet;
    kvScriptedShow& show = quiet.show;
    ASSERT_TRUE(show.load("show.xml"));
    ASSERT_EQ(chdir(home), 0);
    EXPECT_EQ(show.getMusic().tracks, (std::vector<std::string>{"song.wav", "b & c.ogg"}));
    EXPECT_EQ(show.getMusic().crossfade, 1.5);
    const kvPlayer& player = show.getPlayer();
    const char* const captions[] = {"Fish & chips <at> \"the pier\" second line", "Καλημέρα", nullptr};
    for (unsigned i = 0; i < 3; ++i) {
        const kvPlayerItem* item = player.getItem(i);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->fileName, photos[i].path);
        EXPECT_FLOAT_EQ(item->duration, i == 0 ? 13.5f : i == 1 ? 6.0f : 5.0f);
        EXPECT_EQ(item->transitionType, TRANSITION_CROSSFADE);
        EXPECT_FLOAT_EQ(item->transitionTime, 1.0f);
        EXPECT_EQ(player.fitOf(item), FIT_COVER);
        // The first photo's region as found, written; the others found as it plays.
        const kvFocus& focus = player.focusOf(item);
        EXPECT_EQ(focus.mode, i == 0 ? FOCUS_REGION : FOCUS_AUTO);
        if (i == 0) {
            EXPECT_FLOAT_EQ(focus.region.x, 0.25f);
            EXPECT_FLOAT_EQ(focus.region.height, 0.25f);
        }
        if (captions[i]) {
            ASSERT_EQ(item->lines.size(), 1u) << i;
            EXPECT_EQ(item->lines[0], captions[i]);
        } else {
            EXPECT_TRUE(item->lines.empty());
        }
    }
    // The closing slide, never shown.
    ASSERT_NE(player.getItem(3), nullptr);
    EXPECT_EQ(player.getItem(4), nullptr);
    EXPECT_FLOAT_EQ(player.getShowEnd(), 24.5f);
}

TEST(FolderShow, EverySlideMovesGentlyInsideItsPicture)
{
    std::set<std::string> kinds;
    for (size_t n = 0; n < 300; ++n) {
        for (const auto& shape : {std::make_pair(4000, 3000), std::make_pair(3000, 4000), std::make_pair(0, 0)}) {
            const kvSlideMotion m = slideMotion(n, shape.first, shape.second);
            const kvSlideMotion again = slideMotion(n, shape.first, shape.second);
            ASSERT_EQ(std::memcmp(&m, &again, sizeof m), 0) << "the same place, the same motion";
            const float end = m.startZoom + m.zoomFactor - 1.0f;
            const float change = std::fabs(end - m.startZoom) / std::min(end, m.startZoom);
            EXPECT_GE(change, 0.09f) << n;
            EXPECT_LE(change, 0.15f) << n;
            const bool wide = shape.first >= shape.second;
            EXPECT_EQ(wide ? m.y : m.x, 0.0f) << "a pan along the longer side only";
            EXPECT_EQ(wide ? m.moveY : m.moveX, 0.0f);
            EXPECT_GT(std::fabs(wide ? m.moveX : m.moveY), 0.05f) << "a pan that shows";
            for (float p = 0.0f; p <= 1.0f; p += 0.125f) {
                const kvFitGeometry g = fitGeometry(FIT_BLUR, 1920, 1080, shape.first ? shape.first : 1600,
                                                    shape.second ? shape.second : 1200, m.startZoom + (m.zoomFactor - 1) * p,
                                                    m.x + p * m.moveX, m.y + p * m.moveY);
                EXPECT_FALSE(g.held) << "slide " << n << " at " << p << " is held at its picture's edge";
            }
            if (shape.first == 4000) kinds.insert(std::to_string(m.zoomFactor > 1) + std::to_string(m.moveX > 0));
        }
    }
    EXPECT_EQ(kinds.size(), 4u) << "zooms in and out, pans either way";
    // Aimed at a focus: from the whole picture in, then from the focus out,
    // by turns; no pan of its own.
    for (size_t n = 0; n < 8; ++n) {
        const kvSlideMotion m = focusMotion(n);
        const float from = m.startZoom, to = m.startZoom + m.zoomFactor - 1.0f;
        EXPECT_FLOAT_EQ(n % 2 ? to : from, 1.0f) << n;
        EXPECT_GE(std::fabs(to - from), 0.1f - 1e-6f) << n;
        EXPECT_LE(std::max(from, to), 1.15f + 1e-6f) << n;
        EXPECT_TRUE(m.x == 0 && m.y == 0 && m.moveX == 0 && m.moveY == 0) << n;
    }

    const struct {
        const char* name;
        bool writable;
    } names[] = {{"/photos/Tom & Jerry.jpg", true}, {"/photos/日本.jpg", true}, {"/photos/a\nb.jpg", false},
                 {"/photos/a\\b.jpg", false},        {"/photos/\xff.jpg", false}, {"/photos/\x7f.jpg", false}};
    for (const auto& n : names) EXPECT_EQ(unwritableName(n.name).empty(), n.writable) << n.name;
}

// A roll's clips and moments as slides: each clip for its own length up to
// the show's most, without pan or zoom, its sound kept; a Live or Motion
// Photo's moment, when it plays, a muted clip before its still; otherwise
// the still alone with the Live Photo's clip named beside it. The lengths
// the beats are cut around are the ones written.
TEST(FolderShow, ClipsAndMomentsAreSlidesOfTheirOwnLength)
{
    const std::string dir = scratchDir("folder-show-clips");
    std::vector<kvPhoto> photos(5);
    photos[0].path = "a.jpg";
    photos[1].path = "long.mp4", photos[1].clip = true, photos[1].seconds = 45.0, photos[1].sound = true;
    photos[2].path = "short & sweet.mp4", photos[2].clip = true, photos[2].seconds = 4.5;
    photos[3].path = "IMG_3.jpg", photos[3].moment = "IMG_3.MOV", photos[3].seconds = 2.5;
    photos[4].path = "PXL.MP.jpg", photos[4].motionPhoto = true, photos[4].seconds = 3.0;
    for (kvPhoto& p : photos) p.width = 4, p.height = 3;
    struct Slide {
        const char* file;
        bool clip;
        float seconds, volume;
    };
    struct Case {
        bool play;
        std::vector<Slide> slides;
    } const cases[] = {
        {false,
         {{"a.jpg", false, 5, 1}, {"long.mp4", true, 20, 1}, {"short & sweet.mp4", true, 4.5f, 1},
          {"IMG_3.jpg", false, 5, 1}, {"PXL.MP.jpg", false, 5, 1}}},
        {true,
         {{"a.jpg", false, 5, 1}, {"long.mp4", true, 20, 1}, {"short & sweet.mp4", true, 4.5f, 1},
          {"IMG_3.MOV", true, 2.5f, 0}, {"IMG_3.jpg", false, 5, 1}, {"PXL.MP.jpg", true, 3, 0},
          {"PXL.MP.jpg", false, 5, 1}}},
    };
    for (const Case& c : cases) {
        kvFolderShowOptions o;
        o.clipSeconds = 20.0f;
        o.livePhotosPlay = c.play;
        o.comments = true;
        std::vector<double> lengths;
        for (const Slide& s : c.slides) lengths.push_back(s.clip ? s.seconds : 0.0);
        EXPECT_EQ(folderSlideLengths(photos, o), lengths);
        const std::string text = writeFolderScript(photos, o);
        EXPECT_EQ(text.find("IMG_3.MOV") < text.find("<file>IMG_3.jpg"), true) << text;
        EXPECT_EQ(text.find("<file>IMG_3.MOV") != std::string::npos, c.play) << text;
        writeFile(dir + "/show.xml", text);

        QuietShow quiet;
        kvScriptedShow& show = quiet.show;
        ASSERT_TRUE(show.load(dir + "/show.xml"));
        const kvPlayer& player = show.getPlayer();
        float end = 0.0f;
        size_t pictures = 0;
        for (unsigned i = 0; i < c.slides.size(); ++i) {
            const kvPlayerItem* item = player.getItem(i);
            const Slide& want = c.slides[i];
            ASSERT_NE(item, nullptr) << i;
            EXPECT_EQ(item->fileName, want.file) << i;
            EXPECT_EQ(item->clipPart.isClip, want.clip) << want.file;
            EXPECT_FLOAT_EQ(item->duration, want.seconds) << want.file;
            EXPECT_EQ(item->transitionType, TRANSITION_CROSSFADE) << want.file;
            // Still from start to end, or moving.
            const bool still = item->zoomAt(0.0f) == 1.0f && item->zoomAt(1.0f) == 1.0f && item->move.x == 0.0f
                               && item->move.y == 0.0f && item->offset.x == 0.0f && item->offset.y == 0.0f;
            EXPECT_EQ(still, want.clip) << want.file;
            if (want.clip) {
                EXPECT_EQ(item->clipPart.volume, want.volume) << want.file;
            } else {
                // Moving as its place among the pictures says, clips between or not (as written: to 4 digits).
                EXPECT_NEAR(item->startZoom, focusMotion(pictures++).startZoom, 0.001) << want.file;
            }
            end += want.seconds;
        }
        EXPECT_EQ(player.getItem(static_cast<unsigned>(c.slides.size()) + 1), nullptr);
        EXPECT_FLOAT_EQ(player.getShowEnd(), end) << c.play;
    }
}
