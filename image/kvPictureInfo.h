// What a picture file is, told from its first bytes and headers without
// decoding it: its kind (JPEG, PNG, WebP, HEIC or AVIF, whatever its name
// says), whether the decoder may be handed it, its size as it should be
// seen (the camera's orientation, or the file's own rotation, applied),
// and the scale it is best decoded at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Korvell {

enum kvPictureKind { PICTURE_UNKNOWN, PICTURE_JPEG, PICTURE_PNG, PICTURE_WEBP, PICTURE_HEIC, PICTURE_AVIF };

struct kvPictureInfo {
    kvPictureKind kind = PICTURE_UNKNOWN;
    // Headers whole and inside the file; safe to decode.
    bool sound = false;
    // Ends where it should (JPEG: its end marker; PNG: IEND).
    bool complete = false;
    // As stored in the file.
    int width = 0;
    int height = 0;
    // EXIF orientation, 1 to 8; 5 to 8 turn the picture a quarter.
    int orientation = 1;

    bool quarterTurned() const { return orientation >= 5; }
    int shownWidth() const { return quarterTurned() ? height : width; }
    int shownHeight() const { return quarterTurned() ? width : height; }
};

struct kvColourTag;

// With `colour`, a JPEG's embedded profile is read on the same walk.
kvPictureInfo inspectPicture(const uint8_t* data, size_t size, kvColourTag* colour = nullptr);
// "JPEG", "PNG", "WebP", "HEIC", "AVIF".
const char* pictureKindName(kvPictureKind kind);

// The smallest power of two that is at least n, and never less than 2.
int bufferSide(int n);

// How a picture is decoded: at 1/denominator of its size (1, 2, 4 or 8: a
// JPEG's DCT scales, or a WebP, HEIC or AVIF reduced after decoding;
// always 1 for PNG), into a buffer of the full-size
// buffer's sides divided by the same, with the picture's width and height
// rounded to whole pixels. The far texture coordinates are then within half
// a texel of the full-size ones, so pans and zooms (which are in buffer
// units) look the same.
struct kvDecodePlan {
    int denominator = 1;
    int width = 0;
    int height = 0;
    int bufferWidth = 0;
    int bufferHeight = 0;
};

// The smallest decode that still shows the picture at least neededWidth x
// neededHeight pixels (0 x 0: full size) and whose buffer fits in maxSide;
// false when even 1/8 of it does not fit.
bool planDecode(const kvPictureInfo& info, int neededWidth, int neededHeight, int maxSide, kvDecodePlan& plan);

} // namespace Korvell
