// The order of a folder show's photos: by the time each was taken (its
// EXIF date, with sub-seconds and offset when written; else its file's
// time), then by natural name order (img2 before img10); by name alone; or
// shuffled by a seed, the same seed giving the same order everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvell {

struct kvPhoto {
    std::string path;    // as the show reads it
    std::string name;    // for the name order: the path under the folder given
    int width = 0;       // as seen (orientation applied); 0 when unknown
    int height = 0;
    std::string taken;   // EXIF DateTimeOriginal, "YYYY:MM:DD HH:MM:SS"
    std::string subSeconds;
    std::string offset;  // "+HH:MM" or "-HH:MM"
    double fileTime = 0; // the file's modification time, seconds since 1970
    std::string caption;
    // A clip (its length and sound told by its headers), or a still with a
    // moment: a Live Photo's clip beside it, or a Motion Photo's inside it.
    bool clip = false;
    double seconds = 0;       // a clip's length, or the moment's
    bool sound = false;       // a clip's
    std::string contentId;    // Apple's content identifier, when written
    std::string moment;       // a Live Photo's clip ("": none)
    bool motionPhoto = false; // the moment is inside the file
};

enum class kvPhotoOrder { Taken, Name, Random };

// An EXIF date as seconds since 1970: with an offset exact; without, read
// as local time. False when the text is not a date (blank, all zeros).
bool takenSeconds(const std::string& taken, const std::string& subSeconds, const std::string& offset, double* seconds);
// The time a photo is ordered by: taken, or else its file's time.
double orderTime(const kvPhoto& photo);
// How a photo's time reads in a script's comment: "2024-05-06 07:08:09.25
// +02:00", or "no date (file time 2024-05-06 07:08)".
std::string describeTime(const kvPhoto& photo);
// < 0, 0, > 0: digits compared as numbers, everything else byte by byte.
int naturalCompare(const std::string& a, const std::string& b);
void orderPhotos(std::vector<kvPhoto>& photos, kvPhotoOrder order, uint64_t seed);

} // namespace Korvell
