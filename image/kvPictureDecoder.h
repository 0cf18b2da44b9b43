// Decoding picture files into texture buffers: JPEG with libjpeg-turbo's
// TurboJPEG (greyscale and CMYK turned to RGB, the EXIF orientation
// applied, a DCT scale chosen to fit the screen), PNG with libpng (RGB, or
// RGBA when it has alpha). Thread-safe: every call has decoders of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvell {

class kvTexture;

// Decodes the bytes into `into`, which must be empty, at the smallest size
// that still shows neededWidth x neededHeight pixels (0 x 0: full size).
// False, with the reason, when the picture cannot be shown ("not a picture
// Korvell reads ...", "truncated", "larger than ...", "cannot be decoded:
// ..."). A picture that decodes but whose colour profile cannot be used
// shows as stored, and `reason` then says so.
bool decodePicture(const std::vector<uint8_t>& bytes, int neededWidth, int neededHeight, kvTexture& into,
                   std::string* reason);

} // namespace Korvell
