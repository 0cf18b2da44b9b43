// When a photo was taken, read from its EXIF by hand rather than through
// Exiv2, so that a camera roll of thousands is ordered at about the speed
// of reading its headers: the TIFF block of a JPEG's APP1 segment, or of a
// HEIC's or AVIF's Exif item (found through its meta box's iinf and iloc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Korvell {

struct kvExifDate {
    std::string taken; // DateTimeOriginal, "YYYY:MM:DD HH:MM:SS"
    std::string subSeconds;
    std::string offset;    // OffsetTimeOriginal, "+02:00"
    std::string contentId; // from an Apple maker note
};

// Where a file's EXIF TIFF block lies, told from its first bytes (Further:
// a JPEG's segments go on past them, from *offset).
enum class kvExifPlace { None, Found, Further, Unknown };
kvExifPlace findExif(const uint8_t* head, size_t size, uint64_t fileSize, uint64_t* offset, uint64_t* length);

// The first APP1 segment named `name` (its `nameBytes` bytes) before a
// JPEG's scan, walked from the marker at file position `at`, `bytes`
// holding `size` bytes of the file from `base`: Found with where its body
// after the name lies; Further with *offset where the walk left the bytes.
kvExifPlace findJpegApp1(const uint8_t* bytes, size_t size, uint64_t base, uint64_t at, uint64_t fileSize,
                         const char* name, size_t nameBytes, uint64_t* offset, uint64_t* length);

// The date fields of a TIFF block (from its byte-order mark on); false
// when it is not one.
bool readExifDate(const uint8_t* tiff, size_t size, kvExifDate* out);

// The content identifier in an Apple maker note's bytes ("Apple iOS",
// version, "MM", an IFD whose offsets count from the note's start); "".
std::string appleContentId(const uint8_t* note, size_t size);

// The date of the picture open as `fd`, whose first `size` bytes are
// `head`: true when they tell it (or tell there is none), reading at most
// the EXIF block besides; false when Exiv2 must look.
bool readPhotoDate(int fd, const uint8_t* head, size_t size, uint64_t fileSize, kvExifDate* out);

} // namespace Korvell
