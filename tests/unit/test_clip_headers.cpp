// A camera roll's clips told by their headers alone: every container a
// phone or a computer writes (made here with ffmpeg), when each was
// recorded and in which zone, its shape turned as shown, whether it has
// sound, the identifier tying a Live Photo together; damaged and foreign
// files refused. And a Motion Photo's clip found inside its JPEG from each
// way its XMP is written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "image/kvClipHeaders.h"
#include "image/kvMotionPhoto.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

// Counts what was read, to show the headers alone are.
struct Bytes {
    std::string data;
    uint64_t read = 0;
    kvReadAt reader()
    {
        return [this](uint64_t at, size_t n, uint8_t* into) {
            if (at > data.size() || n > data.size() - at) return false;
            std::copy(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n), into);
            read += n;
            return true;
        };
    }
};

} // namespace

TEST(ClipHeaders, WhatEachKindOfClipSaysOfItself)
{
    const std::string dir = scratchDir("clip-headers");
    const std::string two = " -f lavfi -i color=c=red:s=160x90:r=10:d=2 ";
    const std::string tone = " -f lavfi -i sine=f=440:d=2 -shortest ";
    const std::string made = "cd '" + dir + "' && ffmpeg -v error -y" + two + tone
        + "-c:v libx264 -c:a aac -metadata creation_time=2024-05-06T07:08:09.250000Z a.mp4"
          " && ffmpeg -v error -y -i a.mp4 -c copy -movflags faststart -metadata creation_time=2024-05-06T07:08:09Z fast.mp4"
          " && ffmpeg -v error -y -i a.mp4 -c copy -metadata:s:v:0 rotate=90 -metadata creation_time=2024-05-06T07:08:09Z turned.mp4"
          " && ffmpeg -v error -y"
        + two
        + "-c:v libx264 -movflags use_metadata_tags"
          " -metadata com.apple.quicktime.creationdate=2024-05-06T09:08:10.5+0200"
          " -metadata com.apple.quicktime.content.identifier=0F1E-2D3C IMG_0001.MOV"
          " && ffmpeg -v error -y"
        + two + tone
        + "-c:v libvpx-vp9 -deadline realtime -c:a libopus -metadata creation_time=2023-01-02T03:04:05Z c.webm"
          " && ffmpeg -v error -y"
        + two + "-c:v mjpeg d.avi && ffmpeg -v error -y" + two + "-c:v libx264 -f 3gp e.3gp"
        + " && ffmpeg -v error -y" + tone + "-c:a aac music.m4a";
    ASSERT_EQ(std::system(made.c_str()), 0) << made;

    struct Case {
        const char* name;
        bool read;
        kvClipContainer kind;
        int width, height;
        bool sound;
        const char *taken, *subSeconds, *offset, *contentId;
    } const cases[] = {
        {"a.mp4", true, CLIP_ISO, 160, 90, true, "2024:05:06 07:08:09", "", "+00:00", ""},
        {"fast.mp4", true, CLIP_ISO, 160, 90, true, "2024:05:06 07:08:09", "", "+00:00", ""},
        {"turned.mp4", true, CLIP_ISO, 90, 160, true, "2024:05:06 07:08:09", "", "+00:00", ""},
        // QuickTime's own date (its zone kept) over the container's.
        {"IMG_0001.MOV", true, CLIP_ISO, 160, 90, false, "2024:05:06 09:08:10", "5", "+02:00", "0F1E-2D3C"},
        {"c.webm", true, CLIP_MATROSKA, 160, 90, true, "2023:01:02 03:04:05", "", "+00:00", ""},
        {"d.avi", true, CLIP_AVI, 160, 90, false, "", "", "", ""},
        {"e.3gp", true, CLIP_ISO, 160, 90, false, "", "", "", ""},
    };
    for (const Case& c : cases) {
        Bytes file{readFile(dir + "/" + c.name)};
        kvClipHeaders h;
        ASSERT_EQ(readClipHeaders(file.reader(), file.data.size(), &h), c.read) << c.name;
        EXPECT_EQ(h.kind, c.kind) << c.name;
        EXPECT_TRUE(h.video) << c.name;
        EXPECT_NEAR(h.seconds, 2.0, 0.15) << c.name;
        EXPECT_EQ(h.width, c.width) << c.name;
        EXPECT_EQ(h.height, c.height) << c.name;
        EXPECT_EQ(h.sound, c.sound) << c.name;
        EXPECT_EQ(h.taken, c.taken) << c.name;
        EXPECT_EQ(h.subSeconds, c.subSeconds) << c.name;
        EXPECT_EQ(h.offset, c.offset) << c.name;
        EXPECT_EQ(h.contentId, c.contentId) << c.name;
        // The headers, not the pictures: at most the first 64 KiB and the moov.
        EXPECT_LE(file.read, 64u * 1024u + 4096u) << c.name;
    }

    // Damaged or not a clip at all.
    const std::string mp4 = readFile(dir + "/a.mp4"), fast = readFile(dir + "/fast.mp4");
    const size_t moovAt = mp4.find("moov") - 4;
    std::string hugeMoov = mp4;
    hugeMoov[moovAt] = 0x7F; // a moov box claiming more than the file holds
    std::string heic = fast;
    heic.replace(8, 4, "heic");
    struct Bad {
        const char* what;
        std::string bytes;
        bool read, video;
    } const bad[] = {
        {"cut before its moov", mp4.substr(0, moovAt + 100), false, false},
        {"a moov past the end", hugeMoov, false, false},
        {"twelve bytes", fast.substr(0, 12), false, false},
        {"a HEIC's brand", heic, false, false},
        {"sound alone", readFile(dir + "/music.m4a"), true, false},
        {"Matroska cut inside its header", readFile(dir + "/c.webm").substr(0, 20), false, false},
        {"AVI without its header", readFile(dir + "/d.avi").substr(0, 24), false, false},
    };
    for (const Bad& b : bad) {
        Bytes file{b.bytes};
        kvClipHeaders h;
        EXPECT_EQ(readClipHeaders(file.reader(), file.data.size(), &h), b.read) << b.what;
        EXPECT_EQ(h.video, b.video) << b.what;
    }
    EXPECT_EQ(clipKindOf(reinterpret_cast<const uint8_t*>(heic.data()), heic.size()), CLIP_NONE);
}

TEST(MotionPhoto, TheClipInsideTheJpegFromEveryFormOfItsXmp)
{
    const uint64_t fileSize = 100000;
    const std::string directory = "<Container:Directory><rdf:Seq>"
                                  "<rdf:li rdf:parseType='Resource'><Container:Item Item:Mime='image/jpeg' "
                                  "Item:Semantic='Primary' Item:Length='0' Item:Padding='0'/></rdf:li>"
                                  "<rdf:li rdf:parseType='Resource'><Container:Item Item:Mime='video/mp4' "
                                  "Item:Semantic='MotionPhoto' Item:Length='LENGTH'/></rdf:li>"
                                  "</rdf:Seq></Container:Directory>";
    const std::string elements = "<Container:Directory><rdf:Seq><rdf:li><Container:Item>"
                                 "<Item:Semantic>Primary</Item:Semantic><Item:Length>0</Item:Length>"
                                 "</Container:Item></rdf:li><rdf:li><Container:Item>"
                                 "<Item:Semantic>MotionPhoto</Item:Semantic><Item:Mime>video/mp4</Item:Mime>"
                                 "<Item:Length>LENGTH</Item:Length></Container:Item></rdf:li></rdf:Seq>"
                                 "</Container:Directory>";
    struct Case {
        const char* what;
        std::string description; // inside rdf:Description
        const char* length;
        uint64_t found; // the clip's length, 0: none
    } const cases[] = {
        {"MicroVideo attributes", "GCamera:MicroVideo=\"1\" GCamera:MicroVideoVersion=\"1\" "
                                  "GCamera:MicroVideoOffset=\"LENGTH\"", "31000", 31000},
        {"MotionPhoto and a directory", "GCamera:MotionPhoto='1'>" + directory + "<x", "42000", 42000},
        {"Samsung's Camera:MotionPhoto", "Camera:MotionPhoto='1'>" + directory + "<x", "42000", 42000},
        {"a directory in elements", ">" + elements + "<x", "777", 777},
        {"MicroVideo turned off", "GCamera:MicroVideo=\"0\" GCamera:MicroVideoOffset=\"LENGTH\"", "31000", 0},
        {"a length past the file", "GCamera:MicroVideo=\"1\" GCamera:MicroVideoOffset=\"LENGTH\"", "100000", 0},
        {"a length not a number", "GCamera:MotionPhoto='1'>" + directory + "<x", "12ab", 0},
        {"a negative length", "GCamera:MicroVideo=\"1\" GCamera:MicroVideoOffset=\"LENGTH\"", "-5", 0},
        {"a directory of the primary alone", "GCamera:MotionPhoto='1'>" + directory.substr(0, directory.find("<rdf:li", 40)) + "<x", "1", 0},
        {"no motion at all", "xmp:Rating='5'", "1", 0},
    };
    for (const Case& c : cases) {
        std::string xmp = c.description;
        for (size_t at; (at = xmp.find("LENGTH")) != std::string::npos;) xmp.replace(at, 6, c.length);
        const std::string app1 = std::string("http://ns.adobe.com/xap/1.0/", 29)
                                 + "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF><rdf:Description " + xmp
                                 + "/></rdf:RDF></x:xmpmeta>";
        // An EXIF segment before it, as a camera writes them.
        const std::string exif = std::string("Exif\0\0MM\0\x2A\0\0\0\x08\0\0", 16);
        auto segment = [](const char* marker, const std::string& body) {
            const size_t n = body.size() + 2;
            return std::string(marker, 2) + char(n >> 8) + char(n & 0xFF) + body;
        };
        const std::string jpeg = std::string("\xFF\xD8", 2) + segment("\xFF\xE1", exif) + segment("\xFF\xE1", app1);
        uint64_t offset = 0, length = 0;
        const bool found = findMotionPhotoClip(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(), fileSize,
                                               &offset, &length);
        EXPECT_EQ(found, c.found != 0) << c.what;
        if (found) {
            EXPECT_EQ(length, c.found) << c.what;
            EXPECT_EQ(offset, fileSize - c.found) << c.what;
        }
        // The same bytes without the JPEG's mark are no Motion Photo.
        EXPECT_FALSE(findMotionPhotoClip(reinterpret_cast<const uint8_t*>(jpeg.data()) + 2, jpeg.size() - 2, fileSize,
                                         &offset, &length))
            << c.what;
    }
}
