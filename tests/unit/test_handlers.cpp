// The document and image elements, through the real parser.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "image/kvDataFile.h"
#include "script/kvHandlers.h"
#include "text/kvText.h"
#include "support/kvScriptTest.h"

using namespace Korvell;

namespace {
using Handlers = ScriptTest;


} // namespace

TEST_F(Handlers, ViewportNeedsBothValues)
{
    run("<viewport x=\"800\"/>");
    float w = 0, h = 0;
    rec->getViewSize(&w, &h);
    EXPECT_FLOAT_EQ(w, 1.0f);
    run("<viewport x=\"800\" y=\"600\"/>");
    rec->getViewSize(&w, &h);
    EXPECT_FLOAT_EQ(w, 800.0f);
    EXPECT_FLOAT_EQ(h, 600.0f);
}

TEST_F(Handlers, ImageAreaPositionWithoutSizeStaysEmpty)
{
    run("<imagearea><position x=\"10\" y=\"20\"/></imagearea>");
    EXPECT_FLOAT_EQ(player->getImageAreaPos().x, 10.0f);
    EXPECT_FLOAT_EQ(player->getImageAreaSize().x, 0.0f);
    run("<imagearea><size width=\"5\"/></imagearea><imagearea><size width=\"5\" height=\"6\"/></imagearea>");
    EXPECT_FLOAT_EQ(player->getImageAreaSize().y, 6.0f);
}

TEST_F(Handlers, BackgroundAndImageColourAreAppliedOnlyWhenComplete)
{
    run("<global><background r=\"1\" g=\"1\"/><imagecolor r=\"0.5\" g=\"0.25\" b=\"0\"/></global>");
    EXPECT_FLOAT_EQ(rec->getClearColor().x, 0.0f);
    EXPECT_FLOAT_EQ(player->getImageColor().x, 0.5f);
    EXPECT_FLOAT_EQ(player->getImageColor().y, 0.25f);
}

TEST_F(Handlers, NoiseOnlyWhenTheDialogAllowsIt)
{
    noise = false;
    run("<global><effect alpha=\"0.3\">noise</effect></global>");
    EXPECT_EQ(player->getNoiseTexture(), kvTextureIndex(0));
    EXPECT_FLOAT_EQ(player->getNoiseAlpha(), 0.5f);
    EXPECT_TRUE(rec->only("createTexture").empty());
}

TEST_F(Handlers, NoiseAlphaSizeAndFilter)
{
    noise = true;
    run("<global><effect alpha=\"2.5\" size=\"64.9\">noise</effect><filter>bilinear</filter></global>");
    EXPECT_EQ(rec->only("createTexture"), std::vector<std::string>{"createTexture 64x64x24 filter=1 -> 1"});
    EXPECT_FLOAT_EQ(player->getNoiseAlpha(), 1.0f);
    // A second global keeps the first texture but sets its alpha.
    run("<global><filter>bilinear </filter><effect alpha=\"-1\">noise</effect></global>");
    EXPECT_EQ(rec->only("createTexture").size(), 1u);
    EXPECT_FLOAT_EQ(player->getNoiseAlpha(), -1.0f);
}

TEST_F(Handlers, NoiseFilterFlagNeedsTheExactKeywordAndEffectItsText)
{
    noise = true;
    run("<global><filter>bilinear </filter><effect>noise</effect></global>");
    EXPECT_EQ(rec->only("createTexture"), std::vector<std::string>{"createTexture 128x128x24 filter=0 -> 1"});
    newPlayer();
    run("<global><effect alpha=\"0.2\">Noise</effect></global>");
    EXPECT_EQ(player->getNoiseTexture(), kvTextureIndex(0));
    EXPECT_FLOAT_EQ(player->getNoiseAlpha(), 0.5f);
}

TEST_F(Handlers, HugeNoiseSizeIsHeldToAUsableSize)
{
    noise = true;
    // Up to the largest side whose buffer fits 64 MiB; beyond, held there.
    for (const char* size : {"2048", "4096", "100000"}) {
        newPlayer();
        rec->lines.clear();
        run(std::string("<global><effect size=\"") + size + "\">noise</effect></global>");
        const std::string side = std::string(size) == "2048" ? "2048" : "4096";
        ASSERT_EQ(rec->only("createTexture").size(), 1u) << size;
        const std::string made = rec->only("createTexture")[0];
        EXPECT_EQ(made.substr(0, made.find(" ->")), "createTexture " + side + "x" + side + "x24 filter=0") << size;
    }
}

TEST_F(Handlers, ImageDefaultsAndFields)
{
    run("<image><file>a.jpg</file></image>"
        "<image time=\"4\" x=\"0.1\" y=\"0.2\" zoom=\"1.5\"><file>b.jpg</file>"
        "<transition time=\"2\">crossfade</transition><move y=\"0.5\"/><zoom f=\"2\"/></image>");
    ASSERT_EQ(player->getItemCount(), 2);
    kvPlayerItem* a = item(0);
    EXPECT_EQ(a->fileName, "a.jpg");
    EXPECT_FLOAT_EQ(a->duration, 0.0f);
    EXPECT_FLOAT_EQ(a->endTime, 0.0f);
    EXPECT_EQ(a->transitionType, TRANSITION_KEEP);
    EXPECT_FLOAT_EQ(a->startZoom, 1.0f);
    EXPECT_FLOAT_EQ(a->zoom, 1.0f);
    EXPECT_FLOAT_EQ(a->move.x, 0.0f);
    kvPlayerItem* b = item(1);
    EXPECT_FLOAT_EQ(b->endTime, 4.0f);
    EXPECT_EQ(b->transitionType, TRANSITION_CROSSFADE);
    EXPECT_FLOAT_EQ(b->transitionTime, 2.0f);
    EXPECT_FLOAT_EQ(b->move.x, 0.0f);
    EXPECT_FLOAT_EQ(b->move.y, 0.5f);
    EXPECT_FLOAT_EQ(b->zoom, 2.0f);
    EXPECT_FLOAT_EQ(b->startZoom, 1.5f);
    EXPECT_FLOAT_EQ(b->offset.x, 0.1f);
    EXPECT_FLOAT_EQ(b->offset.y, 0.2f);
}

// A video element is a slide like an image, with the part of the clip it
// plays (trimmed), its sound's level and the music's under it; without a
// time it lasts as long as the trimmed clip, when the clip can be read.
TEST_F(Handlers, VideoSlidesTakeTheirClipsPartAndLength)
{
    struct Case {
        std::string element;
        bool known; // the clip's headers read: 8 s, with sound
        float time;
        double trimStart, trimEnd, length;
        float volume, duck;
    } cases[] = {
        {"<video><file>c.mp4</file></video>", true, 8.0f, 0.0, -1.0, 8.0, 1.0f, 0.3f},
        {"<video time=\"3\"><file>c.mp4</file><trim start=\"2.5\" end=\"9\"/><sound volume=\"0.5\" duck=\"0.2\"/>"
         "</video>",
         true, 3.0f, 2.5, 9.0, 5.5, 0.5f, 0.2f},
        {"<video><file>c.mp4</file><trim start=\"1\" end=\"4\"/></video>", false, 3.0f, 1.0, 4.0, 3.0, 1.0f, 0.3f},
        {"<video><file>c.mp4</file></video>", false, 0.0f, 0.0, -1.0, 0.0, 1.0f, 0.3f},
        {"<video><file>c.mp4</file><trim start=\"5\" end=\"2\"/><sound volume=\"-1\" duck=\"7\"/></video>", true,
         0.0f, 5.0, 5.0, 0.0, 0.0f, 1.0f},
    };
    for (const Case& c : cases) {
        newPlayer();
        probeClip = nullptr;
        if (c.known)
            probeClip = [](const std::string& file, kvClipFacts* facts) {
                facts->seconds = 8.0;
                facts->sound = true;
                return file == "c.mp4";
            };
        run(c.element + "<image time=\"1\"/>");
        ASSERT_EQ(player->getItemCount(), 2) << c.element;
        const kvPlayerItem* v = item(0);
        EXPECT_TRUE(v->clipPart.isClip) << c.element;
        EXPECT_EQ(v->fileName, "c.mp4");
        EXPECT_FLOAT_EQ(v->duration, c.time) << c.element;
        EXPECT_DOUBLE_EQ(v->clipPart.trimStart, c.trimStart) << c.element;
        EXPECT_DOUBLE_EQ(v->clipPart.trimEnd, c.trimEnd) << c.element;
        EXPECT_DOUBLE_EQ(v->clipPart.length, c.length) << c.element;
        EXPECT_FLOAT_EQ(v->clipPart.volume, c.volume) << c.element;
        EXPECT_FLOAT_EQ(v->clipPart.duck, c.duck) << c.element;
        EXPECT_EQ(v->clipPart.sound, c.known);
    }
    // A clip's sound plays from its slide's start for the shorter of the
    // trimmed clip and the slide; a muted one, or one without sound, not.
    newPlayer();
    probeClip = [](const std::string& file, kvClipFacts* facts) {
        facts->seconds = 8.0;
        facts->sound = file != "silent.mp4";
        return true;
    };
    run("<image time=\"2\"><file>a.jpg</file></image>"
        "<video time=\"3\"><file>c.mp4</file><trim start=\"6\"/></video>"
        "<video><file>c.mp4</file><trim start=\"1\" end=\"2.5\"/><sound duck=\"0.1\"/></video>"
        "<video><file>silent.mp4</file></video><video><file>c.mp4</file><sound volume=\"0\"/></video>"
        "<image time=\"1\"/>");
    const std::vector<kvClipSound> sounds = player->clipSounds();
    ASSERT_EQ(sounds.size(), 2u);
    EXPECT_EQ(sounds[0], (kvClipSound{"c.mp4", 2.0, 6.0, 2.0, 1.0f, 0.3f}));
    EXPECT_EQ(sounds[1], (kvClipSound{"c.mp4", 5.0, 1.0, 1.5, 1.0f, 0.1f}));
    // The clip time of a slide: from its trimmed start, held at its end.
    const kvClipPart& part = item(2)->clipPart;
    EXPECT_DOUBLE_EQ(part.clipTime(-1.0), 1.0);
    EXPECT_DOUBLE_EQ(part.clipTime(0.5), 1.5);
    EXPECT_DOUBLE_EQ(part.clipTime(9.0), 2.5);
}

TEST_F(Handlers, TransitionKeywordsAreExact)
{
    run("<image time=\"1\"><file>a</file><transition>none</transition></image>"
        "<image time=\"1\"><file>a</file><transition>fade</transition></image>"
        "<image time=\"1\"><file>a</file><transition time=\"3\">Fade</transition></image>");
    EXPECT_EQ(item(0)->transitionType, TRANSITION_NONE);
    EXPECT_EQ(item(1)->transitionType, TRANSITION_FADE);
    EXPECT_EQ(item(2)->transitionType, TRANSITION_KEEP);
    EXPECT_FLOAT_EQ(item(2)->transitionTime, 3.0f);
}

TEST_F(Handlers, SubtitleLinesStopAtTheFirstGapAndGoToTheirSlide)
{
    run("<image time=\"2\"><file>a</file></image>"
        "<image time=\"3\" zoom=\"4\"><move x=\"1\"/><line1>one</line1><line3>three</line3><line2>two</line2>"
        "<line4>four</line4><line6>six</line6></image>");
    EXPECT_TRUE(item(0)->lines.empty());
    kvPlayerItem* blank = item(1);
    EXPECT_TRUE(blank->fileName.empty());
    EXPECT_FLOAT_EQ(blank->endTime, 5.0f);
    EXPECT_FLOAT_EQ(blank->startZoom, 1.0f); // dropped for a blank slide
    EXPECT_FLOAT_EQ(blank->move.x, 0.0f);
    EXPECT_EQ(blank->lines, (std::vector<std::string>{"one", "two", "three", "four"}));
}

TEST_F(Handlers, EveryMusicAndPlaylistElementTellsTheMusicAsWritten)
{
    run("<music>song.ogg</music><music></music>\n<playlist crossfade=\"2.5\" fadeout=\"4\">"
        "<track>a.mp3</track><track> b.ogg</track><other>c.ogg</other></playlist>\n"
        "<playlist/><music> x.ogg</music><playlist crossfade=\"-3\"><track>d.flac</track></playlist>");
    ASSERT_EQ(music.size(), 6u);
    const std::vector<std::vector<std::string>> tracks = {{"song.ogg"}, {""}, {"a.mp3", " b.ogg"}, {}, {" x.ogg"}, {"d.flac"}};
    for (size_t i = 0; i < music.size(); ++i) EXPECT_EQ(music[i].tracks, tracks[i]) << i;
    EXPECT_EQ(music[2].crossfade, 2.5);
    EXPECT_EQ(music[2].fadeout, 4.0);
    EXPECT_EQ(music[2].line, 4);
    EXPECT_EQ(music[0].crossfade, 0.0);
    EXPECT_EQ(music[5].crossfade, 0.0); // a negative time is none
}

TEST_F(Handlers, DatafileOpensTheArchive)
{
    std::string path = dir + "/x.kva";
    writeFile(path, std::string("END", 4));
    run("<datafile>" + path + "</datafile>");
    EXPECT_TRUE(archive.isOpen());
    archive.close();
    // Named as on Windows: '\\' separates folders on the disk too.
    mkdir((dir + "/data").c_str(), 0755);
    writeFile(dir + "/data/y.kva", std::string("END", 4));
    newPlayer();
    run("<datafile>" + dir + "\\data\\y.kva</datafile>");
    EXPECT_TRUE(archive.isOpen());
}

TEST(Text, LinesStayUtf8AndAreCutInCharacters)
{
    struct Case {
        std::string text;
        std::string valid;  // what validUtf8 makes of it
        size_t characters;  // grapheme clusters
    } cases[] = {
        {"Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", 6}, // Zażółć
        {"Gr\xC3\xBC\xC3\x9F" "e", "Gr\xC3\xBC\xC3\x9F" "e", 5},                      // Grüße
        {"e\xCC\x81", "e\xCC\x81", 1},                   // e and a combining acute: one character
        {"\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7", // a family: one
         "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7", 1},
        {"\xF0\x9F\x87\xB5\xF0\x9F\x87\xB1", "\xF0\x9F\x87\xB5\xF0\x9F\x87\xB1", 1}, // a flag
        {"caf\xE9", "caf\xEF\xBF\xBD", 4},               // Latin-1, not UTF-8
        {"a\xC4", "a\xEF\xBF\xBD", 2},                    // cut short
        {"\xEF\xBF\xBD", "\xEF\xBF\xBD", 1},             // a real U+FFFD stays
        {"", "", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(validUtf8(c.text), c.valid) << c.text;
        EXPECT_EQ(clusterCount(c.valid), c.characters) << c.text;
    }
    EXPECT_EQ(firstClusters("e\xCC\x81" "a", 1), "e\xCC\x81");
    EXPECT_EQ(firstClusters("abc", 9), "abc");
}
