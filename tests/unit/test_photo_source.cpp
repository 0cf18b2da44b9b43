// Photos from the disk: dates and descriptions read from every kind of
// picture, cameras' stock texts left out; folders gathered in the order
// taken, other files skipped, damaged pictures named, subfolders only with
// -r, one picture opening its folder at itself, names that do not go
// together refused.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/kvShowSource.h"
#include "image/kvPhotoMetadata.h"
#include "support/kvPhotoTags.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

kvPhotoMetadata metadataOf(const std::string& path)
{
    kvPhotoMetadata m;
    const int fd = open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0) << path;
    EXPECT_TRUE(readPhotoMetadata(fd, m)) << path;
    close(fd);
    return m;
}

std::string run(const std::string& command)
{
    return std::system(command.c_str()) == 0 ? std::string() : "failed: " + command;
}

std::string baseNames(const kvShowSource& s)
{
    std::string out;
    for (const kvPhoto& p : s.photos) out += (out.empty() ? "" : " ") + p.path.substr(p.path.rfind('/') + 1);
    return out;
}

} // namespace

TEST(PhotoMetadata, DatesAndDescriptionsFromEveryKind)
{
    const std::string dir = scratchDir("photo-metadata");
    const std::string jpeg = dir + "/a.jpg";
    writeFile(jpeg, readFile(fixture("quadrants.jpg")));
    kvPhotoTags tags;
    tags.taken = "2021:02:03 04:05:06";
    tags.subSeconds = "25";
    tags.offset = "+02:00";
    tags.xmpDescription = "Tom & Jerry, été";
    ASSERT_TRUE(writePhotoTags(jpeg, tags));
    ASSERT_TRUE(writeTaggedHeif(dir + "/a.heic", false, tags));
    ASSERT_TRUE(writeTaggedHeif(dir + "/a.avif", true, tags));
    for (const char* kind : {"png", "webp"}) {
        const std::string path = dir + "/a." + kind;
        ASSERT_EQ(run("convert '" + fixture("quadrants.jpg") + "' '" + path + "'"), "");
        ASSERT_TRUE(writePhotoTags(path, tags)) << kind;
    }
    for (const char* kind : {"jpg", "heic", "avif", "png", "webp"}) {
        const kvPhotoMetadata m = metadataOf(dir + "/a." + kind);
        EXPECT_EQ(m.taken, "2021:02:03 04:05:06") << kind;
        EXPECT_EQ(m.offset, "+02:00") << kind;
        EXPECT_EQ(m.subSeconds, "25") << kind;
        EXPECT_EQ(m.caption, "Tom & Jerry, été") << kind;
    }

    // The first description written wins, a camera's stock text never.
    struct Case {
        kvPhotoTags tags;
        const char* caption;
    } const cases[] = {
        {{"", "", "", "exif", "xmp", "iptc"}, "xmp"},
        {{"", "", "", "exif", "", "iptc"}, "iptc"},
        {{"", "", "", "  exif  ", "", ""}, "exif"},
        {{"", "", "", "OLYMPUS DIGITAL CAMERA", "", ""}, ""},
        {{"", "", "", "exif", "   ", "SONY DSC"}, "exif"},
        {{"", "", "", "DSC_0042", "", ""}, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir + "/case" + std::to_string(n++) + ".jpg";
        writeFile(path, readFile(fixture("quadrants.jpg")));
        ASSERT_TRUE(writePhotoTags(path, c.tags));
        EXPECT_EQ(metadataOf(path).caption, c.caption) << c.tags.exifDescription;
    }
    // Not a picture, or nothing in it: no metadata, and nothing thrown.
    writeFile(dir + "/text.jpg", "hello, not a picture at all");
    kvPhotoMetadata none;
    const int fd = open((dir + "/text.jpg").c_str(), O_RDONLY);
    EXPECT_FALSE(readPhotoMetadata(fd, none));
    close(fd);
    EXPECT_TRUE(metadataOf(fixture("quadrants.jpg")).taken.empty());
}

TEST(ShowSource, FoldersGatherTheirPicturesInTheOrderTaken)
{
    const std::string dir = scratchDir("show-source");
    const std::string trip = dir + "/trip";
    ASSERT_EQ(mkdir(trip.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((trip + "/more").c_str(), 0755), 0);
    // Names and dates disagree: c was taken first, then a, then b.
    const char* const dated[][2] = {{"a.jpg", "2020:01:01 10:00:00"}, {"b.jpg", "2020:01:01 11:00:00"},
                                    {"c.jpg", "2019:12:31 09:00:00"}, {"more/d.jpg", "2019:01:01 00:00:00"}};
    for (const auto& d : dated) {
        writeFile(trip + "/" + d[0], readFile(fixture("quadrants.jpg")));
        kvPhotoTags t;
        t.taken = d[1];
        t.offset = "+00:00";
        ASSERT_TRUE(writePhotoTags(trip + "/" + d[0], t));
    }
    writeFile(trip + "/notes.txt", "a text file");
    writeFile(trip + "/broken.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + "nothing of a picture after this");
    writeFile(trip + "/.hidden.jpg", readFile(fixture("quadrants.jpg")));
    writeFile(dir + "/show.xml", "<korvell/>");
    // A link back up is followed once.
    ASSERT_EQ(symlink("..", (trip + "/more/up").c_str()), 0);

    kvGatherOptions flat, deep;
    deep.recursive = true;
    struct Case {
        std::vector<std::string> names;
        const kvGatherOptions* options;
        kvShowSource::Kind kind;
        const char* photos; // base names in order, or the error
    } const cases[] = {
        {{trip}, &flat, kvShowSource::PHOTOS, "c.jpg a.jpg b.jpg"},
        {{trip}, &deep, kvShowSource::PHOTOS, "d.jpg c.jpg a.jpg b.jpg"},
        {{trip + "/a.jpg"}, &flat, kvShowSource::PHOTOS, "a.jpg b.jpg c.jpg"},
        {{trip + "/b.jpg", trip + "/c.jpg"}, &flat, kvShowSource::PHOTOS, "c.jpg b.jpg"},
        {{trip + "/more", trip + "/c.jpg"}, &flat, kvShowSource::PHOTOS, "d.jpg c.jpg"},
        {{dir + "/show.xml"}, &flat, kvShowSource::SCRIPT, ""},
        {{dir + "/show.xml", trip}, &flat, kvShowSource::BAD, "is neither a picture nor a folder"},
        {{dir + "/show.xml", dir + "/show.xml"}, &flat, kvShowSource::BAD, "one SCRIPT to play, not 2"},
        {{trip + "/more/up/show-source/trip/notes.txt"}, &flat, kvShowSource::SCRIPT, ""},
        {{scratchDir("show-source-empty")}, &flat, kvShowSource::BAD, "no pictures to show in"},
    };
    for (const Case& c : cases) {
        const kvShowSource s = gatherShow(c.names, *c.options);
        EXPECT_EQ(s.kind, c.kind) << c.names[0] << ": " << s.error;
        if (c.kind == kvShowSource::PHOTOS) {
            EXPECT_EQ(baseNames(s), c.photos) << c.names[0];
        } else if (c.kind == kvShowSource::BAD) {
            EXPECT_NE(s.error.find(c.photos), std::string::npos) << s.error;
        } else {
            EXPECT_EQ(s.script, c.names[0]);
        }
    }
    // Shapes as seen, and absolute paths.
    const kvShowSource s = gatherShow({trip}, flat);
    ASSERT_FALSE(s.photos.empty());
    EXPECT_EQ(s.photos[0].path[0], '/');
    EXPECT_GT(s.photos[0].width, 0);
}
