// Nothing a user owns is lost, nothing waits for ever: names compared by
// the file they reach, outputs checked before anything is written, partial
// files that remove only themselves, a log that follows no link, readers
// that never block on a FIFO or a device, names escaped before printing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "sound/kvSoundFile.h"
#include "app/kvRenderCommand.h"
#include "base/kvFiles.h"
#include "base/kvPartialFile.h"
#include "base/kvQuote.h"
#include "export/kvVideoEncoder.h"
#include "image/kvDataFile.h"
#include "image/kvPictureFile.h"
#include "support/kvScriptTest.h"

using namespace Korvell;

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

} // namespace

TEST(Files, NamesAreComparedByTheFileTheyReach)
{
    const std::string d = scratchDir("same");
    writeFile(d + "/a.ogg", "music");
    writeFile(d + "/b.ogg", "music");
    mkdir((d + "/sub").c_str(), 0755);
    ASSERT_EQ(symlink((d + "/a.ogg").c_str(), (d + "/link.ogg").c_str()), 0);
    ASSERT_EQ(link((d + "/a.ogg").c_str(), (d + "/hard.ogg").c_str()), 0);
    ASSERT_EQ(symlink(d.c_str(), (d + "/sub/up").c_str()), 0);
    struct Case {
        std::string a, b;
        bool same;
    } cases[] = {
        {d + "/a.ogg", d + "/a.ogg", true},
        {d + "/a.ogg", d + "/link.ogg", true},          // a symbolic link
        {d + "/a.ogg", d + "/sub/../a.ogg", true},      // ".."
        {d + "/a.ogg", d + "/sub/up/a.ogg", true},      // a linked folder
        {d + "/a.ogg", d + "/hard.ogg", true},          // a hard link
        {d + "/a.ogg", d + "/b.ogg", false},            // alike, but another file
        {d + "/a.ogg", d + "/none.ogg", false},         // a file that is not there
        {d + "/none.ogg", d + "/none.ogg", false},      // neither is there: nothing to lose
        {"", d + "/a.ogg", false},
    };
    for (const Case& c : cases) EXPECT_EQ(sameFile(c.a, c.b), c.same) << c.a << " against " << c.b;
}

TEST(Files, OutputsAreCheckedBeforeAnythingIsWritten)
{
    const std::string d = scratchDir("outputs");
    writeFile(d + "/old.mp4", std::string("\0\0\0\x20" "ftypisom\0\0\2\0", 16));
    writeFile(d + "/old.mkv", "\x1A\x45\xDF\xA3 matroska");
    writeFile(d + "/photo.mp4", std::string("\0\0\0\x18" "ftypheic\0\0\0\0", 16)); // a HEIC picture
    writeFile(d + "/notes.mp4", "my notes");
    writeFile(d + "/empty.mp4", "");
    writeFile(d + "/old.srt", "\xEF\xBB\xBF" "1\n00:00:00,000 --> 00:00:01,000\nhi\n");
    writeFile(d + "/script.srt", "<korvell/>");
    mkdir((d + "/folder.mp4").c_str(), 0755);
    mkfifo((d + "/fifo.mp4").c_str(), 0644);
    ASSERT_EQ(symlink("old.mp4", (d + "/link.mp4").c_str()), 0);
    ASSERT_EQ(symlink("gone.mp4", (d + "/dangling.mp4").c_str()), 0);
    struct Case {
        std::string name;
        bool force;
        bool srt;
        int code;
        bool replacing;
    } cases[] = {
        {"new.mp4", false, false, 0, false},
        {"no-folder/new.mp4", false, false, 1, false},
        {"old.mp4", false, false, 0, true},
        {"old.mkv", false, false, 0, true},
        {"empty.mp4", false, false, 0, true},
        {"photo.mp4", false, false, 2, false},
        {"notes.mp4", false, false, 2, false},
        {"notes.mp4", true, false, 0, true},
        {"folder.mp4", true, false, 2, false},
        {"fifo.mp4", true, false, 2, false},
        {"link.mp4", false, false, 0, true},
        {"dangling.mp4", true, false, 2, false},
        {"old.srt", false, true, 0, true},
        {"script.srt", false, true, 2, false},
    };
    for (const Case& c : cases) {
        const kvOutputCheck r =
            checkOutput(d + "/" + c.name, c.srt ? "--srt" : "--render", c.force, c.srt ? isSubRipFile : isKorvellVideo);
        EXPECT_EQ(r.code, c.code) << c.name << ": " << r.error;
        EXPECT_EQ(r.replacing, c.replacing) << c.name;
        EXPECT_EQ(r.code != 0, !r.error.empty()) << c.name;
    }
    // A link is written through: its target is what is replaced.
    EXPECT_EQ(checkOutput(d + "/link.mp4", "--render", false, isKorvellVideo).target, d + "/old.mp4");
    EXPECT_EQ(readFile(d + "/notes.mp4"), "my notes");
}

TEST(Files, APartialFileRemovesOnlyItselfAndReplacesOnlyWhenWhole)
{
    const std::string d = scratchDir("partial");
    const std::string target = d + "/show.mp4";
    writeFile(target, "the old video");
    // A name left behind by an earlier process of this number stays.
    const std::string stale = target + ".partial-" + std::to_string(getpid());
    writeFile(stale, "someone else's");
    std::string why;
    {
        kvPartialFile p;
        ASSERT_TRUE(p.begin(target, &why)) << why;
        EXPECT_NE(p.path(), stale);
        ASSERT_EQ(write(p.descriptor(), "half", 4), 4);
        // Interrupted here: only the partial file goes.
    }
    EXPECT_EQ(readFile(target), "the old video");
    EXPECT_EQ(readFile(stale), "someone else's");
    kvPartialFile p;
    ASSERT_TRUE(p.begin(target, &why)) << why;
    const std::string partial = p.path();
    ASSERT_EQ(write(p.descriptor(), "new", 3), 3);
    EXPECT_EQ(readFile(target), "the old video"); // not before it is whole
    ASSERT_TRUE(p.commit(&why)) << why;
    EXPECT_EQ(readFile(target), "new");
    EXPECT_FALSE(exists(partial));
    kvPartialFile nowhere;
    EXPECT_FALSE(nowhere.begin(d + "/no-folder/x.mp4", &why));
    EXPECT_FALSE(why.empty());

    // Written only as a new file: a target that appeared meanwhile stays.
    const std::string script = d + "/show.xml";
    kvPartialFile fresh, late;
    ASSERT_TRUE(fresh.begin(script, &why)) << why;
    ASSERT_TRUE(late.begin(script, &why)) << why;
    ASSERT_EQ(write(fresh.descriptor(), "first", 5), 5);
    ASSERT_EQ(write(late.descriptor(), "second", 6), 6);
    const std::string latePartial = late.path();
    ASSERT_TRUE(fresh.commitNew(&why)) << why;
    EXPECT_FALSE(late.commitNew(&why));
    EXPECT_EQ(readFile(script), "first");
    EXPECT_FALSE(exists(latePartial));
}

TEST(Files, NamesArePrintedQuotedWithNothingATerminalWouldObey)
{
    struct Case {
        std::string name, printed;
    } cases[] = {
        {"a.jpg", "\"a.jpg\""},
        {"credits\\back.jpg", "\"credits\\back.jpg\""},
        {"zażółć gęślą.jpg", "\"zażółć gęślą.jpg\""},
        {"a\nPicture x.jpg cannot", "\"a\\nPicture x.jpg cannot\""},
        {"\x1b[31mred", "\"\\x1B[31mred\""},
        {"say \"hi\"\t.jpg", "\"say \\\"hi\\\"\\t.jpg\""},
        {"\xC2\x9B" "2J", "\"\\u{009B}2J\""},                  // a C1 control, CSI
        {"gpj.\xE2\x80\xAE" "exe", "\"gpj.\\u{202E}exe\""},    // right-to-left override
        {"bad \xFF\xC3", "\"bad \\xFF\\xC3\""},                // not UTF-8
        {"\x7F", "\"\\x7F\""},
    };
    for (const Case& c : cases) EXPECT_EQ(quoted(c.name), c.printed);
}

// Every reader asked for a FIFO, a device and a folder answers at once
// that it is no file; a blocked open would hang this test (and CTest's
// timeout fails it).
TEST(Files, AFifoOrADeviceIsNeverWaitedOn)
{
    const std::string d = scratchDir("fifo");
    const std::string fifo = d + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const auto began = std::chrono::steady_clock::now();
    for (const std::string& path : {fifo, std::string("/dev/zero"), d}) {
        std::vector<uint8_t> bytes;
        std::string why;
        EXPECT_FALSE(readPictureFile(path, nullptr, bytes, &why)) << path;
        EXPECT_EQ(why, "not a file") << path;
        kvDataFile archive;
        EXPECT_FALSE(archive.open(path)) << path;
        EXPECT_EQ(kvSoundFile::open(path, &why), nullptr) << path;
        EXPECT_EQ(why, "not a file") << path;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
}

// A script that would not parse either way is told why.
class ScriptFiles : public ScriptTest {};

TEST_F(ScriptFiles, TheLogFollowsNoLinkAndIsWrittenOnlyAsAFile)
{
    writeFile(dir + "/show.xml", "<korvell><image time=\"1\"/></korvell>\n");
    writeFile(dir + "/precious.txt", "keep me");
    mkfifo((dir + "/fifo.log").c_str(), 0644);
    mkdir((dir + "/folder.log").c_str(), 0755);
    ASSERT_EQ(symlink("precious.txt", (dir + "/link.log").c_str()), 0);
    ASSERT_EQ(symlink("created.txt", (dir + "/dangling.log").c_str()), 0);
    for (const char* log : {"link.log", "dangling.log", "fifo.log", "folder.log"}) {
        kvParser p(context(), dir + "/" + log);
        EXPECT_FALSE(p.hasLog()) << log;
        EXPECT_FALSE(p.getLogProblem().empty()) << log;
        // The show plays without it.
        EXPECT_TRUE(p.parse(dir + "/show.xml")) << log;
        EXPECT_FALSE(p.parse(dir + "/absent.xml")) << log;
        const std::string message = p.failureMessage();
        EXPECT_EQ(message.find("Check"), std::string::npos) << message;
        EXPECT_NE(message.find("absent.xml: cannot be opened"), std::string::npos) << message;
    }
    EXPECT_EQ(readFile(dir + "/precious.txt"), "keep me");
    EXPECT_FALSE(exists(dir + "/created.txt"));
    kvParser plain(context(), dir + "/xmlparse.log");
    EXPECT_TRUE(plain.hasLog());
    EXPECT_FALSE(plain.parse(dir + "/absent.xml"));
    EXPECT_EQ(plain.failureMessage(), "XML Parse failed! Check " + dir + "/xmlparse.log for details.");
}
