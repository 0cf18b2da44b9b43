// Writing a photo's date and descriptions into a test picture with Exiv2
// (JPEG, PNG and WebP), or making a HEIC or AVIF that carries them.
#pragma once

#include <string>

namespace Korvell {

struct kvPhotoTags {
    std::string taken; // "YYYY:MM:DD HH:MM:SS"; "" leaves it out
    std::string subSeconds;
    std::string offset;
    std::string exifDescription;
    std::string xmpDescription;
    std::string iptcCaption;
    std::string appleContentId; // in an Apple maker note, as an iPhone writes it
};

bool writePhotoTags(const std::string& path, const kvPhotoTags& tags);
// A small flat-coloured HEIC (or AVIF) with the tags' EXIF and XMP, made
// by libheif (ImageMagick's writer drops them); at 64 x 48 libheif writes
// the HEIC as a grid, as phones do.
bool writeTaggedHeif(const std::string& path, bool avif, const kvPhotoTags& tags);

} // namespace Korvell
