// Reads a JPEG's declared size from its frame header without decoding, so
// that pictures too large for a texture are refused before the decoder
// allocates room for them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvell {

// True when a start-of-frame header was found; width and height are then
// what the file declares.
bool jpegDimensions(const uint8_t* data, size_t size, int* width, int* height);

// Whether every marker segment of the file lies inside it and a frame and a
// scan header come before the end. The decoder loops forever skipping a
// segment that claims more bytes than the file holds, so such files never
// reach it. Entropy-coded data may still be cut short; the decoder copes.
bool jpegSegmentsSound(const uint8_t* data, size_t size);

} // namespace Korvell
