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
    kvDataFile archive;
};

} // namespace

TEST_F(Archive, TheDocumentedExampleOpensWithOneEntry)
{
    std::string bytes = tag("VFS") + dat("a.jpg", 100, 26) + tag("END") + std::string(100, 'x');
    ASSERT_EQ(bytes.size(), 126u);
    ASSERT_TRUE(archive.open(write("a.kva", bytes)));
    EXPECT_TRUE(archive.isOpen());
    EXPECT_EQ(archive.entrySize("a.jpg"), 100u);
    EXPECT_EQ(archive.entryOffset("a.jpg"), 26u);
    std::vector<uint8_t> bytesRead;
    ASSERT_TRUE(archive.readEntry("a.jpg", bytesRead));
    EXPECT_EQ(bytesRead, std::vector<uint8_t>(100, 'x'));
    EXPECT_FALSE(archive.hasEntry("b.jpg"));
    EXPECT_EQ(archive.entrySize("b.jpg"), 0u);
}

TEST_F(Archive, EmptyFileAndMissingEndDoNotOpen)
{
    const std::string empty = write("empty.kva", "");
    const int before = openFiles();
    EXPECT_FALSE(archive.open(empty));
    EXPECT_FALSE(archive.isOpen());
    EXPECT_EQ(openFiles(), before);
    EXPECT_FALSE(archive.open(write("noend.kva", tag("VFS") + dat("a", 1, 0))));
    EXPECT_FALSE(archive.open(write("cut.kva", tag("DAT") + "abc")));
    EXPECT_FALSE(archive.open(dir + "/does-not-exist.kva"));
}

TEST_F(Archive, EndAloneOpensWithNoEntriesAndVfsIsOptional)
{
    ASSERT_TRUE(archive.open(write("end.kva", tag("END"))));
    EXPECT_TRUE(archive.entryNames().empty());
    archive.close();
    ASSERT_TRUE(archive.open(write("novfs.kva", dat("x", 3, 0) + tag("VFS") + tag("VFS") + tag("END"))));
    EXPECT_EQ(archive.entrySize("x"), 3u);
}

TEST_F(Archive, UnknownTagClosesTheFile)
{
    const std::string bad = write("bad.kva", tag("VFS") + tag("XYZ") + tag("END"));
    const int before = openFiles();
    EXPECT_FALSE(archive.open(bad));
    EXPECT_EQ(openFiles(), before);
    EXPECT_FALSE(archive.isOpen());
    // Four bytes without a NUL are no tag either.
    EXPECT_FALSE(archive.open(write("nonul.kva", std::string("VFSX") + tag("END"))));
}

TEST_F(Archive, LaterRecordOfTheSameNameWinsAndLookupsAreExact)
{
    std::string bytes = dat("Credits\\Back.jpg", 5, 10) + dat("Credits\\Back.jpg", 7, 20) + tag("END");
    ASSERT_TRUE(archive.open(write("dup.kva", bytes)));
    EXPECT_EQ(archive.entrySize("Credits\\Back.jpg"), 7u);
    EXPECT_EQ(archive.entryOffset("Credits\\Back.jpg"), 20u);
    EXPECT_EQ(archive.entryNames(), std::vector<std::string>{"Credits\\Back.jpg"});
    EXPECT_FALSE(archive.hasEntry("credits\\back.jpg"));
    EXPECT_FALSE(archive.hasEntry("Credits/Back.jpg"));
}

TEST_F(Archive, OneArchiveAtATimeAndCloseAllowsAnother)
{
    std::string first = write("one.kva", dat("one", 1, 0) + tag("END"));
    std::string second = write("two.kva", dat("two", 2, 0) + tag("END"));
    ASSERT_TRUE(archive.open(first));
    EXPECT_FALSE(archive.open(second));
    EXPECT_EQ(archive.entrySize("one"), 1u);
    archive.close();
    EXPECT_FALSE(archive.isOpen());
    archive.close(); // closing twice does nothing
    ASSERT_TRUE(archive.open(second));
    EXPECT_EQ(archive.entrySize("two"), 2u);
    EXPECT_EQ(archive.entrySize("one"), 0u);
}

TEST_F(Archive, EntriesReachingPastTheEndAreFlagged)
{
    std::string bytes = dat("ok", 4, 0) + dat("past", 100, 10) + dat("huge", 0xFFFFFFF0u, 0xFFFFFFF0u) + tag("END");
    ASSERT_TRUE(archive.open(write("past.kva", bytes)));
    EXPECT_TRUE(archive.entryFits("ok"));
    EXPECT_FALSE(archive.entryFits("past"));
    EXPECT_FALSE(archive.entryFits("huge"));
    EXPECT_FALSE(archive.entryFits("absent"));
}
