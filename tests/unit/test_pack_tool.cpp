// korvell-pack round trip: create, list, extract; refusals leave nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

#include "image/kvDataFile.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

int run(const std::string& args, std::string* output = nullptr)
{
    std::string cmd = std::string(KORVELL_BINARY_DIR) + "/korvell-pack " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[512];
    std::string out;
    while (fgets(buf, sizeof buf, p)) out += buf;
    int status = pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

} // namespace

TEST(PackTool, RoundTripKeepsEveryByteAndTheReaderOpensIt)
{
    std::string dir = scratchDir("pack");
    writeFile(dir + "/a.bin", std::string("\x00\x01\x02 hello", 9));
    writeFile(dir + "/b.bin", std::string(70000, 'z'));
    writeFile(dir + "/empty.bin", "");
    std::string out;
    ASSERT_EQ(run("create '" + dir + "/t.kva' 'credits\\back.jpg=" + dir + "/a.bin' '" + dir + "/b.bin' 'e=" + dir
                      + "/empty.bin'",
                  &out),
              0)
        << out;
    ASSERT_EQ(run("list '" + dir + "/t.kva'", &out), 0);
    // Names quoted, as every name from an archive is before it is printed.
    EXPECT_NE(out.find("\"credits\\back.jpg\"\t9\t"), std::string::npos) << out;
    EXPECT_NE(out.find("\"" + dir + "/b.bin\"\t70000\t"), std::string::npos) << out;
    ASSERT_EQ(run("extract '" + dir + "/t.kva' 'credits\\back.jpg' '" + dir + "/out.bin'"), 0);
    EXPECT_EQ(readFile(dir + "/out.bin"), readFile(dir + "/a.bin"));
    ASSERT_EQ(run("extract '" + dir + "/t.kva' '" + dir + "/b.bin' '" + dir + "/out2.bin'"), 0);
    EXPECT_EQ(readFile(dir + "/out2.bin"), readFile(dir + "/b.bin"));

    kvDataFile archive;
    ASSERT_TRUE(archive.open(dir + "/t.kva"));
    EXPECT_EQ(archive.entrySize("credits\\back.jpg"), 9u);
    EXPECT_EQ(archive.entrySize("e"), 0u);
    EXPECT_TRUE(archive.entryFits(dir + "/b.bin"));
}

TEST(PackTool, RefusalsExplainAndLeaveNoArchive)
{
    std::string dir = scratchDir("pack-refuse");
    writeFile(dir + "/a.bin", "a");
    std::string out;
    EXPECT_NE(run("create '" + dir + "/dup.kva' 'x=" + dir + "/a.bin' 'x=" + dir + "/a.bin'", &out), 0);
    EXPECT_NE(out.find("duplicate entry name 'x'"), std::string::npos) << out;
    EXPECT_FALSE(exists(dir + "/dup.kva"));
    EXPECT_NE(run("create '" + dir + "/miss.kva' '" + dir + "/nope.bin'", &out), 0);
    EXPECT_NE(out.find("cannot read"), std::string::npos) << out;
    EXPECT_FALSE(exists(dir + "/miss.kva"));
    EXPECT_NE(run("extract '" + dir + "/a.bin' x '" + dir + "/o'", &out), 0);
    EXPECT_NE(out.find("not a readable Korvell archive"), std::string::npos) << out;
    // Outputs that are inputs, a picture taken for the archive's name, a
    // folder for an entry: refused, every file as it was.
    writeFile(dir + "/01.jpg", readFile(fixture("one.jpg")));
    writeFile(dir + "/02.jpg", readFile(fixture("grey.jpg")));
    ASSERT_EQ(run("create '" + dir + "/t.kva' '" + dir + "/01.jpg'", &out), 0) << out;
    const std::string archive = readFile(dir + "/t.kva");
    struct Refusal {
        std::string args, says;
    } refusals[] = {
        {"extract '" + dir + "/t.kva' '" + dir + "/01.jpg' '" + dir + "/t.kva'", "is the archive"},
        {"extract '" + dir + "/t.kva' '" + dir + "/01.jpg' '" + dir + "/../pack-refuse/t.kva'", "is the archive"},
        {"extract '" + dir + "/t.kva' '" + dir + "/01.jpg' '" + dir + "'", "is a folder"},
        {"create '" + dir + "/01.jpg' '" + dir + "/02.jpg'", "is a picture, not an archive"},
        {"create '" + dir + "/t.kva' '" + dir + "/t.kva'", "is one of the entries"},
        {"create '" + dir + "/x.kva' '" + dir + "'", "not a file"},
        {"create '" + dir + "/a.bin' '" + dir + "/01.jpg'", "is not a Korvell archive"},
    };
    for (const Refusal& r : refusals) {
        EXPECT_EQ(run(r.args, &out), 1) << r.args;
        EXPECT_NE(out.find(r.says), std::string::npos) << r.args << ": " << out;
    }
    EXPECT_EQ(readFile(dir + "/t.kva"), archive);
    EXPECT_EQ(readFile(dir + "/01.jpg"), readFile(fixture("one.jpg")));
    EXPECT_EQ(readFile(dir + "/a.bin"), "a");
    EXPECT_FALSE(exists(dir + "/x.kva"));
    EXPECT_EQ(run("--help", &out), 0);
    EXPECT_NE(out.find("korvell-pack create ARCHIVE ENTRY"), std::string::npos);
    // A usage mistake: one line of reason and where to look, exit 2.
    const struct {
        const char* args;
        const char* says;
    } mistakes[] = {{"", "no command given (create, list or extract)"},
                    {"creat x.kva a", "unknown command 'creat' (create, list or extract)"},
                    {"create", "create takes ARCHIVE and then its entries"},
                    {"list a b", "list takes one ARCHIVE"},
                    {"extract a b", "extract takes ARCHIVE NAME OUTFILE"}};
    for (const auto& m : mistakes) {
        EXPECT_EQ(run(m.args, &out), 2) << m.args;
        EXPECT_EQ(out, "korvell-pack: " + std::string(m.says) + "\nTry 'korvell-pack --help'.\n") << m.args;
    }
}
