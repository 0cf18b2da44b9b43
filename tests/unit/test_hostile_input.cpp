// Bad input of every kind gets a quiet, bounded outcome: no crash, no hang,
// no huge allocation. Each case is a row of docs/ROBUSTNESS.md.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include "app/kvBaseGL.h"
#include "sound/kvSoundFile.h"
#include "image/kvDataFile.h"
#include "image/kvJpegInfo.h"
#include "image/kvTexture.h"
#include "support/kvScriptTest.h"

using namespace Korvell;

namespace {

using HostileScript = ScriptTest;

std::string logOf(const std::string& dir) { return readFile(dir + "/xmlparse.log"); }

// Parses raw bytes as a script; returns whether parse succeeded.
bool parseRaw(kvPlayer* player, const std::string& dir, const std::string& bytes)
{
    writeFile(dir + "/raw.xml", bytes);
    kvScriptContext context;
    context.player = player;
    kvParser parser(context, dir + "/xmlparse.log");
    bool ok = parser.parse(dir + "/raw.xml");
    if (ok) parser.configure();
    return ok;
}

} // namespace

TEST_F(HostileScript, HugeAndNegativeNumbersStayFinite)
{
    noise = true;
    run("<viewport x=\"1e40\" y=\"-1e40\"/>"
        "<global><effect size=\"-64\" alpha=\"-1e999\">noise</effect></global>"
        "<image time=\"3e38\"><file>a</file><move x=\"-1e300\"/></image>"
        "<image time=\"-5\"><file>b</file></image><image time=\"1e39\"/>");
    float w = 0;
    rec->getViewSize(&w, nullptr);
    EXPECT_FLOAT_EQ(w, 3.4028235e38f);
    EXPECT_EQ(rec->only("createTexture"), std::vector<std::string>{"createTexture -64x-64x24 filter=0 -> 1"});
    EXPECT_FLOAT_EQ(item(0)->endTime, 3e38f);
    // A negative time, and one beyond any float, are 0.
    EXPECT_FLOAT_EQ(item(1)->duration, 0.0f);
    EXPECT_FLOAT_EQ(item(2)->duration, 0.0f);
    // Frames over such a show draw and end without trouble, and nothing
    // drawn carries an inf or a nan.
    player->loadItemTexture(0);
    for (double t : {0.0, 1.0, 1e9}) {
        kvFakeClock::setSeconds(t);
        rec->lines.clear();
        player->update();
        ASSERT_FALSE(rec->only("quad").empty()) << "at " << t;
        for (const std::string& line : rec->lines) {
            EXPECT_EQ(line.find("inf"), std::string::npos) << "at " << t << ": " << line;
            EXPECT_EQ(line.find("nan"), std::string::npos) << "at " << t << ": " << line;
        }
    }
}

TEST_F(HostileScript, MalformedTruncatedAndBinaryScriptsFailInTheLog)
{
    EXPECT_FALSE(parseRaw(player, dir, "<korvell><image time=\"5\"><fi"));
    EXPECT_NE(logOf(dir).find("Parse error at line 1: "), std::string::npos);
    EXPECT_FALSE(parseRaw(player, dir, std::string("\x00\xff\xfe<korvell>\x01\x02", 12)));
    EXPECT_NE(logOf(dir).find("Parsing stopped due to errors!"), std::string::npos);
    EXPECT_FALSE(parseRaw(player, dir, ""));
    EXPECT_NE(logOf(dir).find("Parse error at line 1: no element found."), std::string::npos) << logOf(dir);
}

TEST_F(HostileScript, DeepNestingAndATenMegabyteLine)
{
    std::string deep = "<korvell>";
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    for (int i = 0; i < 200000; ++i) deep += "</a>";
    deep += "<image time=\"1\"><file>" + std::string(10 << 20, 'x') + "</file></image></korvell>\n";
    ASSERT_TRUE(parseRaw(player, dir, deep));
    EXPECT_NE(logOf(dir).find("Configuration finished. 1 tag(s) ignored."), std::string::npos);
    ASSERT_EQ(player->getItemCount(), 1);
    EXPECT_EQ(item(0)->fileName.size(), size_t(10) << 20);
}

TEST_F(HostileScript, AFolderIsNotAScript)
{
    kvParser folderParser(context(), dir + "/xmlparse.log");
    EXPECT_FALSE(folderParser.parse(dir));
    EXPECT_NE(logOf(dir).find("IO Error: Cannot open XML file: " + dir), std::string::npos);
}

TEST_F(HostileScript, MissingOrBrokenArchiveAndMusicLeaveTheShowRunning)
{
    EXPECT_FALSE(archive.open(dir));            // a folder
    EXPECT_FALSE(archive.open(dir + "/absent"));
    EXPECT_FALSE(archive.isOpen());
    run("<datafile>" + dir + "</datafile><music>" + dir + "</music><image time=\"2\"><file>a</file></image>");
    EXPECT_FALSE(archive.isOpen());
    EXPECT_EQ(player->getItemCount(), 1);
}

TEST(HostilePictures, EveryBadPictureFailsCleanly)
{
    struct Case {
        const char* file;
        int status;
    } cases[] = {
        {"truncated.jpg", 1}, {"text.jpg", 1}, {"empty.jpg", 1}, {"huge-20000.jpg", 1},
        {"one.jpg", 0},       {"grey.jpg", 0}, {"cmyk.jpg", 0},  {"picture.png", 0}, {"progressive.jpg", 0},
    };
    for (const Case& c : cases) {
        kvTexture t(fixture(c.file));
        EXPECT_EQ(t.getStatus(), c.status) << c.file;
    }
    // A folder opens like a file; it is no picture.
    kvTexture folder(std::string(KORVELL_SOURCE_DIR) + "/tests/fixtures");
    EXPECT_EQ(folder.getStatus(), 1);
}

TEST(HostilePictures, TheHugeOneIsRefusedBeforeAnyLargeAllocation)
{
    // With the address space held to 512 MB, a decoder asked for a
    // 20000 x 20000 picture (1.2 GB) would fail or abort; the frame header
    // check refuses it first.
    struct rlimit old;
    getrlimit(RLIMIT_AS, &old);
    struct rlimit tight = old;
    tight.rlim_cur = 512ull << 20;
    if (setrlimit(RLIMIT_AS, &tight) != 0) GTEST_SKIP() << "cannot limit the address space";
    kvTexture t(fixture("huge-20000.jpg"));
    setrlimit(RLIMIT_AS, &old);
    EXPECT_EQ(t.getStatus(), 1);
    std::string bytes = readFile(fixture("huge-20000.jpg"));
    kvJpegInfo info = jpegInspect(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(info.sound);
    EXPECT_EQ(info.width, 20000);
    EXPECT_EQ(info.height, 20000);
}

TEST(HostilePictures, SegmentsLongerThanTheFileNeverReachTheDecoder)
{
    const uint8_t hang[] = {0xFF, 0xD8, 0xFF, 0xEE, 0x14, 0x0E, 0xFF, 0xFF, 0xFF, 0xFF,
                            0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xD9, 0xFF, 0xD9};
    EXPECT_FALSE(jpegInspect(hang, sizeof hang).sound);
    std::string good = readFile(fixture("quadrants.jpg"));
    EXPECT_TRUE(jpegInspect(reinterpret_cast<const uint8_t*>(good.data()), good.size()).sound);
    std::string progressive = readFile(fixture("progressive.jpg"));
    EXPECT_TRUE(jpegInspect(reinterpret_cast<const uint8_t*>(progressive.data()), progressive.size()).sound);
}

TEST(HostilePictures, PaddingTheDecoderOnlyWarnsAboutStillLoads)
{
    // quadrants.jpg with bytes put in front of every marker segment after
    // SOI, as some cameras pad: stray bytes, a stuffed FF 00, a TEM and an
    // RST marker. The decoder warns and decodes; so must Korvell.
    const std::string good = readFile(fixture("quadrants.jpg"));
    struct Case {
        const char* name;
        std::string pad;
        bool loads;
    } cases[] = {
        {"stray bytes", std::string("\x12\x34\x00", 3), true},
        {"stuffed zero", std::string("\xFF\x00", 2), true},
        {"TEM and RST", std::string("\xFF\x01\xFF\xD3", 4), true},
        {"fill bytes", std::string("\xFF\xFF\xFF", 3), true},
        {"a second SOI", std::string("\xFF\xD8", 2), false},
    };
    const std::string dir = scratchDir("padded");
    for (const Case& c : cases) {
        // Before the segment that follows SOI, and before the frame header.
        std::string bytes = good.substr(0, 2) + c.pad + good.substr(2);
        const size_t sof = bytes.find("\xFF\xC0");
        ASSERT_NE(sof, std::string::npos);
        bytes.insert(sof, c.pad);
        const std::string path = dir + "/padded.jpg";
        writeFile(path, bytes);
        EXPECT_EQ(jpegInspect(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).sound, c.loads) << c.name;
        kvTexture t(path);
        EXPECT_EQ(t.getStatus(), c.loads ? 0 : 1) << c.name;
        if (c.loads) {
            EXPECT_EQ(t.getWidth(), 300) << c.name;
            EXPECT_EQ(t.getHeight(), 200) << c.name;
        }
    }
}

TEST(HostileMusic, FoldersAndNonsenseAreNoMusic)
{
    // Told by their bytes: a folder, a picture, text and an empty file.
    const std::string d = scratchDir("hostile-music");
    writeFile(d + "/text.mp3", "not music at all, though named so");
    writeFile(d + "/empty.ogg", "");
    for (const std::string& path : {std::string(KORVELL_SOURCE_DIR) + "/tests", fixture("quadrants.jpg"),
                                    d + "/text.mp3", d + "/empty.ogg"}) {
        std::string why;
        EXPECT_EQ(kvSoundFile::open(path, &why), nullptr) << path;
        EXPECT_FALSE(why.empty()) << path;
    }
}
