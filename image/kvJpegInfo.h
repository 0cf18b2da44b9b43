// Looks at a JPEG's marker segments without decoding it, so that files the
// decoder would hang on, and pictures too large to hold, are refused before
// the decoder allocates room for them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvell {

// True when a start-of-frame header was found; width and height are then
// the largest any frame header of the file declares.
bool jpegDimensions(const uint8_t* data, size_t size, int* width, int* height);

// Whether every marker segment lies inside the file, nothing but markers
// comes before the first scan, and a frame and a scan header come before
// the end. (The decoder loops forever skipping a segment that claims more
// bytes than the file holds.) Entropy-coded data may still be cut short;
// the decoder copes with that.
bool jpegSegmentsSound(const uint8_t* data, size_t size);

} // namespace Korvell
