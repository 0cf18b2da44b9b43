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
    EXPECT_NE(out.find("credits\\back.jpg\t9\t"), std::string::npos) << out;
    EXPECT_NE(out.find(dir + "/b.bin\t70000\t"), std::string::npos) << out;
    ASSERT_EQ(run("extract '" + dir + "/t.kva' 'credits\\back.jpg' '" + dir + "/out.bin'"), 0);
    EXPECT_EQ(readFile(dir + "/out.bin"), readFile(dir + "/a.bin"));
    ASSERT_EQ(run("extract '" + dir + "/t.kva' '" + dir + "/b.bin' '" + dir + "/out2.bin'"), 0);
    EXPECT_EQ(readFile(dir + "/out2.bin"), readFile(dir + "/b.bin"));

    ASSERT_TRUE(openDataFile(dir + "/t.kva"));
    EXPECT_EQ(getDataFileEntrySize("credits\\back.jpg"), 9u);
    EXPECT_EQ(getDataFileEntrySize("e"), 0u);
    EXPECT_TRUE(dataFileEntryFits(dir + "/b.bin"));
    closeDataFile();
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
    EXPECT_EQ(run("--help", &out), 0);
    EXPECT_NE(out.find("korvell-pack create ARCHIVE ENTRY"), std::string::npos);
}
