// The data file archive reader, on archives written byte by byte here.
#include <gtest/gtest.h>

#include <dirent.h>

#include "image/kvDataFile.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

std::string u32(uint32_t v)
{
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}
std::string tag(const char* t) { return std::string(t, 3) + '\0'; }
std::string dat(const std::string& name, uint32_t size, uint32_t offset)
{
    return tag("DAT") + name + '\0' + u32(size) + u32(offset);
}

// Open file descriptors of this process: a failed open must leave none.
int openFiles()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

struct Archive : ::testing::Test {
    std::string dir = scratchDir("archive");
    std::string write(const std::string& name, const std::string& bytes)
    {
        std::string path = dir + "/" + name;
        writeFile(path, bytes);
        return path;
    }
    void TearDown() override { closeDataFile(); }
};

} // namespace

TEST_F(Archive, TheDocumentedExampleOpensWithOneEntry)
{
    std::string bytes = tag("VFS") + dat("a.jpg", 100, 26) + tag("END") + std::string(100, 'x');
    ASSERT_EQ(bytes.size(), 126u);
    ASSERT_TRUE(openDataFile(write("a.kva", bytes)));
    EXPECT_TRUE(isDataFileOpen());
    EXPECT_EQ(getDataFileEntrySize("a.jpg"), 100u);
    FILE* f = openDataFileEntry("a.jpg");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ftell(f), 26);
    EXPECT_EQ(openDataFileEntry("b.jpg"), nullptr);
    EXPECT_EQ(getDataFileEntrySize("b.jpg"), 0u);
}

TEST_F(Archive, EmptyFileAndMissingEndDoNotOpen)
{
    const std::string empty = write("empty.kva", "");
    const int before = openFiles();
    EXPECT_FALSE(openDataFile(empty));
    EXPECT_FALSE(isDataFileOpen());
    EXPECT_EQ(openFiles(), before);
    EXPECT_FALSE(openDataFile(write("noend.kva", tag("VFS") + dat("a", 1, 0))));
    EXPECT_FALSE(openDataFile(write("cut.kva", tag("DAT") + "abc")));
    EXPECT_FALSE(openDataFile(dir + "/does-not-exist.kva"));
}

TEST_F(Archive, EndAloneOpensWithNoEntriesAndVfsIsOptional)
{
    ASSERT_TRUE(openDataFile(write("end.kva", tag("END"))));
    EXPECT_TRUE(dataFileEntryNames().empty());
    closeDataFile();
    ASSERT_TRUE(openDataFile(write("novfs.kva", dat("x", 3, 0) + tag("VFS") + tag("VFS") + tag("END"))));
    EXPECT_EQ(getDataFileEntrySize("x"), 3u);
}

TEST_F(Archive, UnknownTagClosesTheFile)
{
    const std::string bad = write("bad.kva", tag("VFS") + tag("XYZ") + tag("END"));
    const int before = openFiles();
    EXPECT_FALSE(openDataFile(bad));
    EXPECT_EQ(openFiles(), before);
    EXPECT_FALSE(isDataFileOpen());
    // Four bytes without a NUL are no tag either.
    EXPECT_FALSE(openDataFile(write("nonul.kva", std::string("VFSX") + tag("END"))));
}

TEST_F(Archive, LaterRecordOfTheSameNameWinsAndLookupsAreExact)
{
    std::string bytes = dat("Credits\\Back.jpg", 5, 10) + dat("Credits\\Back.jpg", 7, 20) + tag("END");
    ASSERT_TRUE(openDataFile(write("dup.kva", bytes)));
    EXPECT_EQ(getDataFileEntrySize("Credits\\Back.jpg"), 7u);
    EXPECT_EQ(getDataFileEntryOffset("Credits\\Back.jpg"), 20u);
    EXPECT_EQ(dataFileEntryNames(), std::vector<std::string>{"Credits\\Back.jpg"});
    EXPECT_EQ(openDataFileEntry("credits\\back.jpg"), nullptr);
    EXPECT_EQ(openDataFileEntry("Credits/Back.jpg"), nullptr);
}

TEST_F(Archive, OneArchiveAtATimeAndCloseAllowsAnother)
{
    std::string first = write("one.kva", dat("one", 1, 0) + tag("END"));
    std::string second = write("two.kva", dat("two", 2, 0) + tag("END"));
    ASSERT_TRUE(openDataFile(first));
    EXPECT_FALSE(openDataFile(second));
    EXPECT_EQ(getDataFileEntrySize("one"), 1u);
    closeDataFile();
    EXPECT_FALSE(isDataFileOpen());
    closeDataFile(); // closing twice does nothing
    ASSERT_TRUE(openDataFile(second));
    EXPECT_EQ(getDataFileEntrySize("two"), 2u);
    EXPECT_EQ(getDataFileEntrySize("one"), 0u);
}

TEST_F(Archive, EntriesReachingPastTheEndAreFlagged)
{
    std::string bytes = dat("ok", 4, 0) + dat("past", 100, 10) + dat("huge", 0xFFFFFFF0u, 0xFFFFFFF0u) + tag("END");
    ASSERT_TRUE(openDataFile(write("past.kva", bytes)));
    EXPECT_TRUE(dataFileEntryFits("ok"));
    EXPECT_FALSE(dataFileEntryFits("past"));
    EXPECT_FALSE(dataFileEntryFits("huge"));
    EXPECT_FALSE(dataFileEntryFits("absent"));
}
