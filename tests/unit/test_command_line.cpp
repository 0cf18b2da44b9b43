// The command line: every option, and the bad ones with their reasons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/kvCommandLine.h"

using namespace Korvell;

namespace {

kvCommandLine parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "korvell");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return parseCommandLine(static_cast<int>(args.size()), argv.data());
}

} // namespace

TEST(CommandLine, NothingIsThePlainProgram)
{
    kvCommandLine c = parse({});
    EXPECT_TRUE(c.plain);
    EXPECT_EQ(c.action, kvCommandLine::PLAY);
    EXPECT_FALSE(c.setup);
    EXPECT_TRUE(c.scripts.empty());
}

TEST(CommandLine, EveryOption)
{
    kvCommandLine c = parse({"--setup", "--windowed", "--mode", "800x600@75", "--noise", "--language", "polish",
                             "--start", "12.5", "--watch", "shows/my show.xml"});
    EXPECT_EQ(c.action, kvCommandLine::PLAY);
    EXPECT_FALSE(c.plain);
    EXPECT_TRUE(c.setup);
    EXPECT_TRUE(c.windowed);
    EXPECT_TRUE(c.hasMode);
    EXPECT_EQ(c.modeWidth, 800);
    EXPECT_EQ(c.modeHeight, 600);
    EXPECT_EQ(c.modeRate, 75);
    EXPECT_TRUE(c.noise);
    EXPECT_EQ(c.language, "polish");
    EXPECT_TRUE(c.hasStart);
    EXPECT_FLOAT_EQ(c.start, 12.5f);
    EXPECT_TRUE(c.watch);
    EXPECT_EQ(c.scripts, std::vector<std::string>{"shows/my show.xml"});

    kvCommandLine m = parse({"--mode=1024x768", "x.xml"});
    EXPECT_EQ(m.modeRate, 0); // whatever the display offers
    EXPECT_EQ(parse({"--check", "a.xml", "b.xml"}).scripts.size(), 2u);
    EXPECT_EQ(parse({"--check"}).action, kvCommandLine::CHECK);
    EXPECT_EQ(parse({"--help"}).action, kvCommandLine::HELP);
    EXPECT_EQ(parse({"--version"}).action, kvCommandLine::VERSION);
    EXPECT_FALSE(parse({"--windowed"}).plain); // any option leaves the plain path

    kvCommandLine r = parse({"--render", "out/Show.MKV", "--size", "1280x720", "--fps", "25", "--no-credits", "--srt",
                             "s.SRT", "--quiet", "--samples", "0", "--noise", "--force", "x.xml"});
    EXPECT_EQ(r.action, kvCommandLine::RENDER);
    EXPECT_EQ(r.renderFile, "out/Show.MKV");
    EXPECT_EQ(r.container, "mkv");
    EXPECT_EQ(r.renderWidth, 1280);
    EXPECT_EQ(r.renderHeight, 720);
    EXPECT_EQ(r.fps, 25);
    EXPECT_FALSE(r.credits);
    EXPECT_EQ(r.srtFile, "s.SRT");
    EXPECT_TRUE(r.force);
    EXPECT_TRUE(r.quiet);
    EXPECT_EQ(r.samples, 0);
    EXPECT_TRUE(r.noise);
    kvCommandLine d = parse({"--render", "a.webm"});
    EXPECT_EQ(d.samples, 0); // text needs no multisampling
    EXPECT_EQ(d.renderWidth, 1920);
    EXPECT_EQ(d.fps, 30);
    EXPECT_TRUE(d.credits);

    EXPECT_TRUE(d.focus);
    kvCommandLine f = parse({"-r", "--order", "random", "--seed", "7", "--fit", "contain", "--music", "a.mp3",
                             "--fit-music", "--captions", "--no-credits", "--focus", "none", "trip", "x.jpg"});
    EXPECT_FALSE(f.focus);
    EXPECT_EQ(f.action, kvCommandLine::PLAY);
    EXPECT_TRUE(f.recursive && f.hasSeed && f.fitMusic && f.captions && f.pictureOptions);
    EXPECT_FALSE(f.credits);
    EXPECT_EQ(f.order, "random");
    EXPECT_EQ(f.seed, 7u);
    EXPECT_EQ(f.fit, "contain");
    EXPECT_EQ(f.music, (std::vector<std::string>{"a.mp3"}));
    EXPECT_EQ(f.scripts, (std::vector<std::string>{"trip", "x.jpg"}));
    kvCommandLine b = parse({"--music", "a.mp3", "--music", "b.ogg", "--crossfade", "2.5", "--beats", "--render",
                             "t.mp4", "--allow-silent", "--encoder", "vaapi", "trip"});
    EXPECT_EQ(b.encoder, "vaapi");
    EXPECT_EQ(b.music, (std::vector<std::string>{"a.mp3", "b.ogg"}));
    EXPECT_EQ(b.crossfade, 2.5);
    EXPECT_TRUE(b.beats && b.allowSilent && b.pictureOptions);
    kvCommandLine n = parse({"--new", "Trip.XML", "--seconds", "3.5", "--force", "trip"});
    EXPECT_EQ(n.action, kvCommandLine::NEW);
    EXPECT_EQ(n.newScript, "Trip.XML");
    EXPECT_FLOAT_EQ(n.seconds, 3.5f);
    EXPECT_TRUE(n.force);
    EXPECT_FALSE(parse({"trip"}).pictureOptions);
    EXPECT_FLOAT_EQ(parse({"trip"}).seconds, 5.0f);
    EXPECT_EQ(parse({"trip"}).fit, "blur");
}

TEST(CommandLine, BadOptionsAndValuesSayWhy)
{
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--mode"}, "--mode needs a value"},
        {{"--mode", "1024"}, "--mode takes WxH or WxH@HZ (such as 1024x768@60), not '1024'"},
        {{"--mode", "1024x768@"}, "--mode takes WxH or WxH@HZ (such as 1024x768@60), not '1024x768@'"},
        {{"--mode", "0x768"}, "--mode takes WxH or WxH@HZ (such as 1024x768@60), not '0x768'"},
        {{"--mode", "-5x768"}, "--mode takes WxH or WxH@HZ (such as 1024x768@60), not '-5x768'"},
        {{"--language", "German"}, "--language takes english or polish, not 'German'"},
        {{"--start", "1,5"}, "--start takes a number of seconds, not '1,5'"},
        {{"--start", "-2"}, "--start takes a number of seconds, not '-2'"},
        {{"--start", "nan"}, "--start takes a number of seconds, not 'nan'"},
        {{"--start"}, "--start needs a value"},
        {{"--render", "show.avi"}, "--render writes .mp4, .mkv or .webm files, not 'show.avi'"},
        {{"--render", "a.mp4", "--size", "641x360"},
         "--size takes WxH with even sides from 16 to 8192 (such as 1280x720), not '641x360'"},
        {{"--render", "a.mp4", "--size", "1280x720@30"},
         "--size takes WxH with even sides from 16 to 8192 (such as 1280x720), not '1280x720@30'"},
        {{"--render", "a.mp4", "--fps", "0"}, "--fps takes a whole number from 1 to 240, not '0'"},
        {{"--render", "a.mp4", "--samples", "-1"}, "--samples takes a whole number from 0 to 16, not '-1'"},
        {{"--fps", "25", "x.xml"}, "--size, --fps, --srt, --quiet, --encoder and --allow-silent go with --render"},
        {{"--force", "x.xml"}, "--force goes with --render or --new"},
        {{"--check", "--render", "a.mp4"}, "--check and --render cannot go together"},
        {{"--order", "date"}, "--order takes taken, name or random, not 'date'"},
        {{"--seed", "4", "trip"}, "--seed goes with --order random"},
        {{"--order", "random", "--seed", "-4"}, "--seed takes a whole number, not '-4'"},
        {{"--seconds", "0"}, "--seconds takes a number of seconds from 0.5 to 3600, not '0'"},
        {{"--seconds", "5s"}, "--seconds takes a number of seconds from 0.5 to 3600, not '5s'"},
        {{"--fit", "squash"}, "--fit takes stretch, contain, cover or blur, not 'squash'"},
        {{"--focus", "faces"}, "--focus takes auto or none, not 'faces'"},
        {{"--music", ""}, "--music needs a file"},
        {{"--fit-music", "trip"}, "--fit-music needs --music"},
        {{"--beats", "trip"}, "--beats needs --music"},
        {{"--beats", "--music", "a.mp3", "--seconds", "4"}, "--beats chooses the seconds: leave out --seconds and --fit-music"},
        {{"--crossfade", "-1", "trip"}, "--crossfade takes a number of seconds from 0 to 60, not '-1'"},
        {{"--crossfade", "nan", "trip"}, "--crossfade takes a number of seconds from 0 to 60, not 'nan'"},
        {{"--render", "a.mp4", "--encoder", "qsv"}, "--encoder takes x264, vaapi or nvenc, not 'qsv'"},
        {{"--allow-silent", "show.xml"}, "--size, --fps, --srt, --quiet, --encoder and --allow-silent go with --render"},
        {{"--fit-music", "--music", "a.mp3", "--seconds", "4"}, "--fit-music chooses the seconds: leave out --seconds"},
        {{"--check", "-r", "trip"}, "--check checks scripts: write one from pictures with --new first"},
        // A picture named by mistake is never the script written.
        {{"--new", "photo.jpg", "trip"}, "--new takes a script name ending in .xml, not 'photo.jpg'"},
        {{"--new", "a.xml", "--render", "a.mp4"},
         "--new writes a script and plays nothing: check, play or render the script afterwards"},
        // A forgotten SubRip name never makes the script the file written.
        {{"--render", "a.mp4", "--srt", "english.xml"}, "--srt takes a file name ending in .srt, not 'english.xml'"},
        {{"--render", "a.mp4", "--srt", ".srt"}, "--srt takes a file name ending in .srt, not '.srt'"},
    };
    for (const Case& c : cases) {
        kvCommandLine r = parse(c.args);
        EXPECT_EQ(r.action, kvCommandLine::BAD) << c.reason;
        EXPECT_EQ(r.error, c.reason);
    }
}
