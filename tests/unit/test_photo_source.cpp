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
#include "image/kvExifReader.h"
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

// The date read by hand from the first 64 KiB; false when Exiv2 must look.
bool dateOf(const std::string& path, kvExifDate* date)
{
    const std::string bytes = readFile(path);
    const std::string head = bytes.substr(0, 64 * 1024);
    const int fd = open(path.c_str(), O_RDONLY);
    const bool told = readPhotoDate(fd, reinterpret_cast<const uint8_t*>(head.data()), head.size(), bytes.size(), date);
    close(fd);
    return told;
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
    tags.appleContentId = "5E7A0C62-3B4D-4C1E-9F00-2A6B8D1C0E11";
    ASSERT_TRUE(writePhotoTags(jpeg, tags));
    ASSERT_TRUE(writeTaggedHeif(dir + "/a.heic", false, tags));
    ASSERT_TRUE(writeTaggedHeif(dir + "/a.avif", true, tags));
    for (const char* kind : {"png", "webp"}) {
        const std::string path = dir + "/a." + kind;
        ASSERT_EQ(run("convert '" + fixture("quadrants.jpg") + "' '" + path + "'"), "");
        ASSERT_TRUE(writePhotoTags(path, tags)) << kind;
    }
    // The same JPEG in big-endian TIFF; and with 80 KiB of ICC profile
    // before its EXIF, past the first 64 KiB.
    ASSERT_EQ(run("cp '" + jpeg + "' '" + dir + "/a.be.jpg' && exiftool -q -overwrite_original -ExifByteOrder=MM '" + dir
                  + "/a.be.jpg'"),
              "");
    ASSERT_EQ(run("exiftool -q -all= -o '" + dir + "/bare.jpg' '" + jpeg + "'"), "");
    writeFile(dir + "/a.far.jpg", std::string("\xFF\xD8", 2) + [] {
        std::string app2;
        for (int n = 0; n < 2; ++n) app2 += std::string("\xFF\xE2\xA0\x00", 4) + std::string(0xA000 - 2, 'p');
        return app2;
    }() + readFile(jpeg).substr(2));
    ASSERT_TRUE(writePhotoTags(dir + "/a.far.jpg", tags));
    struct Kind {
        const char* name;
        bool byHand; // the date read without Exiv2
    } const kinds[] = {{"jpg", true},  {"be.jpg", true}, {"far.jpg", true}, {"heic", true},
                       {"avif", true}, {"png", false},   {"webp", false}};
    for (const Kind& k : kinds) {
        const kvPhotoMetadata m = metadataOf(dir + "/a." + k.name);
        EXPECT_EQ(m.taken, "2021:02:03 04:05:06") << k.name;
        EXPECT_EQ(m.offset, "+02:00") << k.name;
        EXPECT_EQ(m.subSeconds, "25") << k.name;
        EXPECT_EQ(m.caption, "Tom & Jerry, été") << k.name;
        EXPECT_EQ(m.contentId, tags.appleContentId) << k.name;
        kvExifDate d;
        ASSERT_EQ(dateOf(dir + "/a." + k.name, &d), k.byHand) << k.name;
        if (k.byHand) {
            EXPECT_EQ(d.taken, m.taken) << k.name;
            EXPECT_EQ(d.subSeconds, m.subSeconds) << k.name;
            EXPECT_EQ(d.offset, m.offset) << k.name;
            EXPECT_EQ(d.contentId, m.contentId) << k.name;
        }
    }
    // No EXIF at all: told by hand that there is no date.
    kvExifDate bare;
    bare.taken = "left from before";
    EXPECT_TRUE(dateOf(dir + "/bare.jpg", &bare));
    EXPECT_EQ(bare.taken, "");

    // The first description written wins, a camera's stock text never.
    struct Case {
        const char *exif, *xmp, *iptc;
        const char* caption;
    } const cases[] = {
        {"exif", "xmp", "iptc", "xmp"},
        {"exif", "", "iptc", "iptc"},
        {"  exif  ", "", "", "exif"},
        {"OLYMPUS DIGITAL CAMERA", "", "", ""},
        {"exif", "   ", "SONY DSC", "exif"},
        {"DSC_0042", "", "", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir + "/case" + std::to_string(n++) + ".jpg";
        writeFile(path, readFile(fixture("quadrants.jpg")));
        kvPhotoTags described;
        described.exifDescription = c.exif;
        described.xmpDescription = c.xmp;
        described.iptcCaption = c.iptc;
        ASSERT_TRUE(writePhotoTags(path, described));
        EXPECT_EQ(metadataOf(path).caption, c.caption) << c.exif;
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
        {{scratchDir("show-source-empty")}, &flat, kvShowSource::BAD, "no pictures or clips to show in"},
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

// A phone's camera folder: clips among the photos by when they were taken
// (their zones honoured), a Live Photo's still and clip one moment only
// when their names and identifiers agree and the clip is short, a Motion
// Photo's clip found inside it, sound files and damaged clips left out.
TEST(ShowSource, ARollsClipsAndMomentsTakeTheirPlaces)
{
    const std::string dir = scratchDir("camera-roll");
    const std::string roll = dir + "/roll", only = dir + "/only";
    ASSERT_EQ(mkdir(roll.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(only.c_str(), 0755), 0);
    struct Still {
        const char *name, *taken, *offset, *contentId;
    } const stills[] = {
        {"IMG_0001.jpg", "2024:05:06 10:00:00", "+00:00", ""},
        {"IMG_0002.jpg", "2024:05:06 13:00:00", "+02:00", ""}, // 11:00 UTC
        {"IMG_0003.jpg", "2024:05:06 12:00:00", "+00:00", "LIVE-3"},
        {"IMG_0004.jpg", "2024:05:06 13:00:00", "+00:00", "LIVE-4"},
        {"IMG_0005.jpg", "2024:05:06 14:00:00", "+00:00", ""},
        {"PXL_0006.MP.jpg", "2024:05:06 15:00:00", "+00:00", ""},
    };
    for (const Still& s : stills) {
        writeFile(roll + "/" + s.name, readFile(fixture("quadrants.jpg")));
        kvPhotoTags t;
        t.taken = s.taken;
        t.offset = s.offset;
        t.appleContentId = s.contentId;
        ASSERT_TRUE(writePhotoTags(roll + "/" + s.name, t));
    }
    const std::string clip = " -f lavfi -i color=c=blue:s=64x48:r=10:d=";
    const std::string mov = " -movflags use_metadata_tags -metadata com.apple.quicktime.";
    ASSERT_EQ(run("cd '" + roll + "' && ffmpeg -v error -y" + clip
                  + "2 -f lavfi -i sine=d=2 -shortest -metadata creation_time=2024-05-06T10:30:00Z CLIP_A.mp4"
                  + " && ffmpeg -v error -y" + clip + "2" + mov + "content.identifier=LIVE-3" + mov
                  + "creationdate=2024-05-06T12:00:00+0000 IMG_0003.MOV"
                  + " && ffmpeg -v error -y" + clip + "2" + mov + "content.identifier=OTHER" + mov
                  + "creationdate=2024-05-06T13:00:01+0000 IMG_0004.MOV"
                  + " && ffmpeg -v error -y" + clip + "8 -metadata creation_time=2024-05-06T14:00:10Z IMG_0005.mp4"
                  + " && ffmpeg -v error -y -f lavfi -i sine=d=1 music.m4a"
                  + " && ffmpeg -v error -y" + clip + "3 -movflags faststart '" + dir + "/moment.mp4'"
                  + " && cp CLIP_A.mp4 IMG_0005.mp4 '" + only + "'"),
              "");
    // The Motion Photo: XMP telling the clip's length, the clip after the picture.
    const std::string moment = readFile(dir + "/moment.mp4");
    const std::string xmp = "http://ns.adobe.com/xap/1.0/" + std::string(1, '\0')
                            + "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF><rdf:Description GCamera:MicroVideo='1' "
                              "GCamera:MicroVideoOffset='"
                            + std::to_string(moment.size()) + "'/></rdf:RDF></x:xmpmeta>";
    const std::string picture = readFile(roll + "/PXL_0006.MP.jpg");
    const size_t segment = xmp.size() + 2;
    writeFile(roll + "/PXL_0006.MP.jpg", picture.substr(0, 2) + "\xFF\xE1" + char(segment >> 8) + char(segment & 0xFF)
                                             + xmp + picture.substr(2) + moment);
    writeFile(roll + "/damaged.mov", std::string("\0\0\0\x14" "ftypqt  \0\0\0\0qt  \0\0\x10\0moov", 28));

    kvGatherOptions options;
    const kvShowSource s = gatherShow({roll}, options);
    ASSERT_EQ(s.kind, kvShowSource::PHOTOS) << s.error;
    EXPECT_EQ(baseNames(s), "IMG_0001.jpg CLIP_A.mp4 IMG_0002.jpg IMG_0003.jpg IMG_0004.jpg IMG_0004.MOV "
                            "IMG_0005.jpg IMG_0005.mp4 PXL_0006.MP.jpg");
    struct Expect {
        bool clip;
        double seconds;
        bool sound;
        const char* moment;
        bool motionPhoto;
    } const expected[] = {
        {false, 0, false, "", false}, {true, 2, true, "", false},  {false, 0, false, "", false},
        {false, 2, false, "IMG_0003.MOV", false}, {false, 0, false, "", false}, {true, 2, false, "", false},
        {false, 0, false, "", false}, {true, 8, false, "", false}, {false, 3, false, "", true},
    };
    ASSERT_EQ(s.photos.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < s.photos.size(); ++i) {
        const kvPhoto& p = s.photos[i];
        const Expect& e = expected[i];
        EXPECT_EQ(p.clip, e.clip) << p.path;
        EXPECT_NEAR(p.seconds, e.seconds, 0.15) << p.path;
        EXPECT_EQ(p.sound, e.sound) << p.path;
        EXPECT_EQ(p.moment.empty() ? "" : p.moment.substr(p.moment.rfind('/') + 1), e.moment) << p.path;
        EXPECT_EQ(p.motionPhoto, e.motionPhoto) << p.path;
    }
    ASSERT_GT(s.photos.size(), 1u);
    EXPECT_EQ(s.photos[1].width, 64);

    // A folder of clips alone plays; a clip named alone opens its folder at itself.
    EXPECT_EQ(baseNames(gatherShow({only}, options)), "CLIP_A.mp4 IMG_0005.mp4");
    EXPECT_EQ(baseNames(gatherShow({only + "/IMG_0005.mp4"}, options)), "IMG_0005.mp4 CLIP_A.mp4");
    // Named, a sound file and a damaged clip each say why they are left out.
    testing::internal::CaptureStderr();
    const kvShowSource named = gatherShow({roll + "/music.m4a", roll + "/damaged.mov", roll + "/IMG_0001.jpg"}, options);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(baseNames(named), "IMG_0001.jpg");
    EXPECT_NE(said.find("damaged.mov\" is left out: a clip whose headers cannot be read"), std::string::npos) << said;
    EXPECT_NE(said.find("music.m4a\" is left out: sound alone"), std::string::npos) << said;
}
