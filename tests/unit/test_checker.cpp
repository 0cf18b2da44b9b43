// The script checker: one small script per finding, and the exact line it
// prints. The platform's answers (decoding, music, fonts) are given here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/kvDataFile.h"
#include "script/kvChecker.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

struct Checker : ::testing::Test {
    std::string dir = scratchDir("check");
    std::string home;
    void SetUp() override
    {
        char buf[4096];
        home = getcwd(buf, sizeof buf) ? buf : ".";
        // Pictures and music beside the script.
        std::string cmd = "cp '" + fixture("quadrants.jpg") + "' '" + dir + "/a.jpg' && cp '" + fixture("truncated.jpg")
                          + "' '" + dir + "/cut.jpg'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        writeFile(dir + "/song.ogg", "music");
        writeFile(dir + "/wide.jpg", std::string(601, 'x')); // the hook's damaged profile
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override
    {
        if (chdir(home.c_str()) != 0) ADD_FAILURE();
    }
    // The findings for "<korvell>" + body + "</korvell>", body from line 3,
    // with an image area on line 2 unless told otherwise.
    std::vector<std::string> check(const std::string& body, double musicSeconds = 0, bool area = true)
    {
        writeFile("show.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<korvell>"
                                  + std::string(area ? kArea : "") + "\n" + body + "\n</korvell>\n");
        kvCheckHooks hooks;
        hooks.pictureProblem = [](const std::vector<uint8_t>& bytes, std::string* warning) {
            if (bytes.size() == 601) *warning = "its colour profile cannot be read, so its colours show as stored";
            return bytes.size() == 600 ? std::string("truncated") : std::string();
        };
        hooks.musicProblem = [musicSeconds](const std::string& file, double* seconds) {
            if (file == "photo.mp3") return std::string("cannot be decoded: File contains data in an unknown format.");
            if (file != "song.ogg" && file != "b.ogg" && file != "short.ogg") return std::string("no such file");
            *seconds = file == "short.ogg" ? 3.0 : musicSeconds;
            return std::string();
        };
        hooks.creditsSeconds = 40.0;
        hooks.drawnFace = [](const std::string& face, bool, bool) {
            return face == "Nonexistent Sans" ? std::string("DejaVu Sans") : face;
        };
        // Clips: clip.mp4 lasts 6 s; bad.mp4 does not decode.
        hooks.clipProblem = [](const std::string& file, kvClipFacts* facts) {
            if (file == "bad.mp4") return std::string("cannot be decoded: not a video FFmpeg reads");
            facts->seconds = 6.0;
            facts->sound = true;
            return std::string();
        };
        // No font draws the private-use plane's characters.
        hooks.undrawable = [](const std::string& text) { return text.find("\xF3\xB0") != std::string::npos ? 0xF0000u : 0u; };
        std::vector<std::string> lines;
        for (const kvFinding& f : checkScript("show.xml", hooks)) lines.push_back(formatFinding("show.xml", f));
        return lines;
    }
    static constexpr const char* kArea =
        "<imagearea><position x=\"0\" y=\"0\"/><size width=\"1\" height=\"1\"/></imagearea>";
    // Two slides of a picture, then an empty closing slide: clean.
    static std::string slides(const std::string& first = "<image time=\"5\"><file>a.jpg</file></image>")
    {
        return first + "\n<image time=\"5\"><file>a.jpg</file></image>\n<image time=\"1\"/>";
    }
};

} // namespace

TEST_F(Checker, ACleanScriptPrintsNothing)
{
    EXPECT_EQ(check("<viewport x=\"10\" y=\"10\"/>\n<music>song.ogg</music>\n" + slides(), 50.0),
                    std::vector<std::string>{});
}

TEST_F(Checker, EachFindingAtItsLine)
{
    struct Case {
        std::string body;
        std::string finding;
        bool area = true; // an image area on line 2
    } cases[] = {
        {"<viewport x=\"10\" y=\"10\"\n", "show.xml:5: error: the script does not parse: not well-formed (invalid token)"},
        {slides(), "show.xml:1: warning: no picture will be drawn: the script has no <imagearea> (the rectangle "
                   "pictures are drawn into)", false},
        {"<imagearea><position x=\"0\" y=\"0\"/><size width=\"0\" height=\"1\"/></imagearea>\n" + slides(),
         "show.xml:3: warning: no picture will be drawn: <imagearea> has no size (0 x 1)", false},
        {"<imagearea>\n<position x=\"0\" y=\"0\"/><size width=\"1\"/></imagearea>\n" + slides(),
         "show.xml:3: warning: no picture will be drawn: <imagearea> has no size (0 x 0)", false},
        // The later image area is the one drawn into.
        {"<imagearea><position x=\"0\" y=\"0\"/><size width=\"0\" height=\"0\"/></imagearea>\n" + slides(),
         "show.xml:3: warning: no picture will be drawn: <imagearea> has no size (0 x 0)"},
        {"<image time=\"5\"><file>gone.jpg</file></image>\n" + slides(),
         "show.xml:3: error: picture \"gone.jpg\": no such file"},
        {"<image time=\"5\"><file>cut.jpg</file></image>\n" + slides(), "show.xml:3: error: picture \"cut.jpg\": truncated"},
        {"<image time=\"5\"><file>wide.jpg</file></image>\n" + slides(),
         "show.xml:3: warning: picture \"wide.jpg\": its colour profile cannot be read, so its colours show as stored"},
        {"<music>other.ogg</music>\n" + slides(), "show.xml:3: error: music \"other.ogg\": no such file"},
        {"<datafile>none.kva</datafile>\n" + slides(),
         "show.xml:3: error: the archive \"none.kva\" cannot be opened: no such file (pictures are read from the disk "
         "instead)"},
        {"<sparkle/>\n" + slides(), "show.xml:3: warning: <sparkle> is not a Korvell element and is ignored"},
        {"<global>\n<image time=\"1\"/>\n</global>\n" + slides(),
         "show.xml:4: warning: <image> inside <global> is not read and has no effect"},
        {slides("<image tme=\"5\"><file>a.jpg</file></image>"),
         "show.xml:3: warning: attribute tme is not read by <image> and has no effect (time was probably meant)"},
        {slides("<image time=\"5\"><file>a.jpg</file>\n<transition time=\"1\">Fade</transition></image>"),
         "show.xml:4: warning: <transition> \"Fade\" is not the keyword fade (keywords are exact): the slide keeps the "
         "transition in force; fade was probably meant"},
        {"<global><filter>bilinear </filter></global>\n" + slides(),
         "show.xml:3: warning: <filter> \"bilinear \" is not the keyword bilinear (keywords are exact): the noise is "
         "drawn unfiltered; bilinear was probably meant"},
        {slides("<image time=\"1,5\"><file>a.jpg</file></image>"),
         "show.xml:3: warning: time=\"1,5\" reads only in part, as 1"},
        {slides("<image time=\"five\"><file>a.jpg</file></image>"),
         "show.xml:3: warning: time=\"five\" is not a number: it reads as 0"},
        {slides("<image time=\"-5\"><file>a.jpg</file></image>"),
         "show.xml:3: warning: time=\"-5\" is negative: the slide's time is taken as 0"},
        {slides("<image time=\"1e999\"><file>a.jpg</file></image>"),
         "show.xml:3: warning: time=\"1e999\" is not a finite number: the slide's time is taken as 0"},
        {slides("<image time=\"0x10\"><file>a.jpg</file></image>"),
         "show.xml:3: warning: time=\"0x10\" reads only in part, as 0"},
        {slides("<image time=\"5\"><file>a.jpg</file><line1>Gr\xC3\xBC\xC3\x9F" "e</line1>\n<line2>x\xF3\xB0\x80\x80</line2></image>"),
         "show.xml:4: warning: <line2> has a character no installed font draws (U+F0000)"},
        {"<global><fit>Blur</fit></global>\n" + slides(),
         "show.xml:3: warning: <fit> \"Blur\" is not the keyword blur (keywords are exact): pictures keep the fit in "
         "force; blur was probably meant"},
        {"<viewport x=\"10\" y=\"10\"/><imagearea><position x=\"0\" y=\"0\"/><size width=\"10\" height=\"10\"/>"
         "</imagearea>\n" + slides("<image time=\"5\"><file>a.jpg</file><fit>cover</fit><move x=\"0.5\"/></image>"),
         "show.xml:4: warning: the pan and zoom of \"a.jpg\" reach past the picture's edge (on a 1920 x 1080 screen): "
         "the picture is held there"},
        // A focus the cover crop of a 3:2 picture on 16:9 cannot hold.
        {"<viewport x=\"10\" y=\"10\"/><imagearea><position x=\"0\" y=\"0\"/><size width=\"10\" height=\"10\"/>"
         "</imagearea>\n" + slides("<image time=\"5\"><file>a.jpg</file><fit>cover</fit>"
                                  "<focus x=\"0\" y=\"0.05\" width=\"1\" height=\"0.9\"/></image>"),
         "show.xml:4: warning: the focus of \"a.jpg\" cannot be kept in frame by its pan and zoom (on a 1920 x 1080 "
         "screen): the region is larger than what the slide shows"},
        {"<global><focus>Auto</focus></global>\n" + slides(),
         "show.xml:3: warning: <focus> \"Auto\" is not the keyword auto (keywords are exact): pictures keep the focus "
         "in force; auto was probably meant"},
        {"<global><effect size=\"8192\">noise</effect></global>\n" + slides(),
         "show.xml:3: warning: size=\"8192\" is larger than a noise texture may be (4096 pixels, its buffer 64 MiB at "
         "most): it is held at 4096"},
        {"<image time=\"5\"><file>a\tb\xC2\x9B.jpg</file></image>\n" + slides(),
         "show.xml:3: error: picture \"a\\tb\\u{009B}.jpg\": no such file"},
        {"<subtitles><face>Liberation Sans</face><style bold=\"Yes\"/></subtitles>\n" + slides(),
         "show.xml:3: warning: bold=\"Yes\" is not the flag yes, so it is off; yes was probably meant"},
        {"<subtitles>\n<face>Nonexistent Sans</face></subtitles>\n" + slides(),
         "show.xml:4: warning: the font face \"Nonexistent Sans\" is not installed: \"DejaVu Sans\" will be drawn"},
        {slides("<image time=\"5\"><file>a.jpg</file></image>\n<image time=\"2\"><file>a.jpg</file>"
                "<transition time=\"3\">crossfade</transition></image>"),
         "show.xml:4: warning: the crossfade into this slide lasts 3 s, longer than the slide's 2 s"},
        {slides("<image time=\"5\" zoom=\"0.5\"><file>a.jpg</file></image>"),
         "show.xml:3: warning: the pan and zoom of \"a.jpg\" show beyond the picture's edge (black)"},
        {slides("<image time=\"5\"><file>a.jpg</file><move x=\"0.5\"/></image>"),
         "show.xml:3: warning: the pan and zoom of \"a.jpg\" show beyond the picture's edge (black)"},
        {"<image time=\"5\"><file>a.jpg</file></image>\n<image time=\"5\"><file>a.jpg</file></image>",
         "show.xml:4: warning: the last slide is never shown: the show ends when the slide before it does (end the "
         "script with an empty <image/> to show this one)"},
        {slides("<image time=\"5\"><file>a.jpg</file><line1>one</line1><line3>three</line3></image>"),
         "show.xml:3: warning: <line3> is not shown: <line2> is missing, and lines are read in order up to the first "
         "gap"},
        {"<subtitles><center/></subtitles>\n" + slides(),
         "show.xml:3: warning: <center> inside <subtitles> is not read: it has no <face>"},
        {"<video><file>bad.mp4</file></video>\n" + slides(),
         "show.xml:3: error: clip \"bad.mp4\": cannot be decoded: not a video FFmpeg reads"},
        {"<video><file>clip.mp4</file>\n<trim start=\"7\"/></video>\n" + slides(),
         "show.xml:4: warning: start=\"7\" is past the end of the clip (6 s): its last frame shows, in silence"},
        {"<video><file>clip.mp4</file>\n<trim start=\"1\" end=\"9\"/></video>\n" + slides(),
         "show.xml:4: warning: end=\"9\" is past the end of the clip (6 s): it plays to its end"},
        {"<video time=\"8\"><file>clip.mp4</file><trim start=\"2\"/></video>\n" + slides(),
         "show.xml:3: note: the slide lasts 8 s, the clip 4 s: its last frame is held, in silence"},
        {"<video tme=\"8\"><file>clip.mp4</file></video>\n" + slides(),
         "show.xml:3: warning: attribute tme is not read by <video> and has no effect (time was probably meant)"},
        {slides("<image time=\"5\"><file>a.jpg</file><file>b.jpg</file></image>"),
         "show.xml:3: warning: a second <file> inside <image> is not read: only the first counts"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> found = check(c.body, 60.0, c.area);
        ASSERT_EQ(found.size(), 1u) << c.finding << "\n got:\n"
                                    << (found.empty() ? std::string("(nothing)") : found[0])
                                    << (found.size() > 1 ? "\n" + found[1] : "");
        EXPECT_EQ(found[0], c.finding);
    }
}

// The show lasts 10 s and its credits 40 s; each track is `seconds` long
// (short.ogg 3 s), photo.mp3 does not decode.
TEST_F(Checker, MusicIsDecodedAndMeasuredAgainstTheShowAndCredits)
{
    const std::string lasts = "show.xml:3: warning: the show lasts 10 s and its credits 40 s, its music ";
    struct Case {
        std::string music;
        double seconds;
        std::string finding; // "" for none
    } cases[] = {
        {"<music>song.ogg</music>", 50, ""},
        {"<music>song.ogg</music>", 47, ""},
        {"<music>song.ogg</music>", 60, lasts + "60 s: the music is cut off when the credits end"},
        {"<music>song.ogg</music>", 30,
         "show.xml:3: note: the show lasts 10 s and its credits 40 s, its music 30 s: the music ends 20 s before the "
         "credits do"},
        {"<music>song.ogg</music>", 4, lasts + "4 s: the show goes on in silence after the music"},
        {"<playlist crossfade=\"10\"><track>song.ogg</track><track>b.ogg</track></playlist>", 30, ""},
        {"<playlist><track>song.ogg</track><track>b.ogg</track></playlist>", 30, lasts + "60 s: the music is cut off when the credits end"},
        {"<playlist crossfade=\"-2\"><track>song.ogg</track></playlist>", 50,
         "show.xml:3: warning: crossfade=\"-2\" is negative: it is taken as 0"},
        {"<playlist>\n<track>song.ogg</track>\n<track>photo.mp3</track></playlist>", 50,
         "show.xml:5: error: music \"photo.mp3\": cannot be decoded: File contains data in an unknown format."},
        {"<playlist/>", 50, "show.xml:3: warning: <playlist> has no <track>: no music plays"},
        // The later element is the music.
        {"<music>song.ogg</music>\n<playlist><track>short.ogg</track></playlist>", 50,
         "show.xml:4: warning: the show lasts 10 s and its credits 40 s, its music 3 s: the show goes on in silence "
         "after the music"},
        {"<playlist><track>short.ogg</track></playlist>\n<music>song.ogg</music>", 50, ""},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> found = check(c.music + "\n" + slides(), c.seconds);
        EXPECT_EQ(found, c.finding.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.finding})
            << c.music << " of " << c.seconds << " s";
    }
}

TEST_F(Checker, TheBundledDemoChecksClean)
{
    for (const char* script : {"english.xml", "polish.xml", "archive/english.xml", "archive/polish.xml"}) {
        const std::string path = std::string(KORVELL_SOURCE_DIR) + "/demo/" + script;
        const std::string folder = path.substr(0, path.rfind('/'));
        ASSERT_EQ(chdir(folder.c_str()), 0);
        kvCheckHooks hooks; // pictures and music as read; every face installed
        hooks.creditsSeconds = 40.0;
        std::vector<kvFinding> found = checkScript(path.substr(path.rfind('/') + 1), hooks);
        // (A note, that the credits end in silence, is no finding.)
        for (const kvFinding& f : found)
            if (!f.note) ADD_FAILURE() << formatFinding(script, f);
    }
}
