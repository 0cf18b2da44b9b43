// Looks at a JPEG's marker segments without decoding it, so that files the
// decoder would hang on, and pictures too large to hold, are refused before
// the decoder allocates room for them; and reads the camera's orientation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvell {

struct kvColourTag;

struct kvJpegInfo {
    // Every marker segment lies inside the file, and a frame and a scan
    // header come before the end. (The decoder loops forever skipping a
    // segment that claims more bytes than the file holds.) Stray bytes
    // between segments, entropy-coded data cut short and the like are the
    // decoder's to warn about; it copes with them.
    bool sound = false;
    // The file ends with its end-of-image marker (a cut file does not).
    bool complete = false;
    // The largest size any frame header declares (read when sound).
    int width = 0;
    int height = 0;
    // The EXIF orientation, 1 to 8 (1, upright, when absent or unreadable).
    int orientation = 1;
};

// With `colour`, the ICC profile of the APP2 "ICC_PROFILE" segments before
// the first scan, joined in their order, is read into it too.
kvJpegInfo jpegInspect(const uint8_t* data, size_t size, kvColourTag* colour = nullptr);

// The orientation tag (0x0112) of an APP1 "Exif" segment's payload (the
// bytes after the marker and length), or 1.
int exifOrientation(const uint8_t* payload, size_t size);

} // namespace Korvell
