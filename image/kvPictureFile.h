// A picture file's bytes, whole: from the show's archive when it has one
// open (never the disk then), else from the disk, where '\' also
// separates folders. Safe to call from the decoding worker while the main
// thread reads too: archive entries are read at their offset without
// moving any shared file position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvell {

// False with the reason ("no such file", "not in the archive", "not a
// file", "larger than 256 MB", "empty", "cannot be read") when the bytes
// cannot be had.
class kvDataFile;

bool readPictureFile(const std::string& name, const kvDataFile* archive, std::vector<uint8_t>& bytes,
                     std::string* reason);

} // namespace Korvell
