// A Motion Photo (Google's, Samsung's): a JPEG with a short MP4 appended
// after the picture, told by the picture's XMP (GCamera:MotionPhoto or
// MicroVideo with its offset, or a Container:Directory whose last item is
// the video and its length). The clip is read where it lies in the file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvell {

// Where the clip lies (from `offset`, `length` bytes) in a file of
// `fileSize` bytes whose first bytes are `head`; false when the XMP there
// tells of none.
bool findMotionPhotoClip(const uint8_t* head, size_t size, uint64_t fileSize, uint64_t* offset, uint64_t* length);

} // namespace Korvell
