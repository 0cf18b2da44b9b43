// What a photo says about itself, read from its headers through Exiv2
// (JPEG, PNG, WebP, HEIC, AVIF): when it was taken (EXIF DateTimeOriginal,
// with its sub-seconds and offset) and its own description (XMP
// dc:description, the IPTC caption or EXIF ImageDescription, the first one
// written, cameras' stock texts left out); and the content identifier an
// iPhone writes in its maker note.
#pragma once

#include <string>

namespace Korvell {

struct kvPhotoMetadata {
    std::string taken;
    std::string subSeconds;
    std::string offset;
    std::string caption;
    std::string contentId; // Apple's, tying a Live Photo's still to its clip
};

// From an open descriptor of a regular file; false (nothing filled in)
// when the file's metadata cannot be read. Never throws, never prints.
bool readPhotoMetadata(int fd, kvPhotoMetadata& out);

// Whether a description is one a camera writes by itself ("OLYMPUS
// DIGITAL CAMERA", "SONY DSC"), not the photographer's.
bool isStockCaption(const std::string& text);

} // namespace Korvell
