// What a clip's own headers say, read without decoding anything (so that a
// camera roll is ordered quickly): its kind, told by its first bytes; its
// length, shape, whether it has sound, when it was recorded, and Apple's
// identifier that ties a Live Photo's clip to its still. MP4, MOV, M4V and
// 3GP (ISO media boxes: the moov box, wherever in the file it lies),
// Matroska and WebM, AVI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace Korvell {

enum kvClipContainer { CLIP_NONE, CLIP_ISO, CLIP_MATROSKA, CLIP_AVI };

struct kvClipHeaders {
    kvClipContainer kind = CLIP_NONE;
    bool video = false;   // a picture track (without one: a sound file)
    double seconds = 0.0; // its length (0: not told)
    int width = 0;        // as shown, turned by its matrix (0: not told)
    int height = 0;
    bool sound = false;
    // When it was recorded, as a photo's date is written: "YYYY:MM:DD
    // HH:MM:SS", its fraction of a second, and the offset from UTC
    // ("+02:00"; UTC times say "+00:00"). Empty when not told.
    std::string taken;
    std::string subSeconds;
    std::string offset;
    std::string contentId; // Apple's content identifier, when written
};

// The kind its first bytes tell (at least 12 of them).
kvClipContainer clipKindOf(const uint8_t* head, size_t size);

// Reads `size` bytes at `offset` into `into`; false when it cannot.
typedef std::function<bool(uint64_t offset, size_t size, uint8_t* into)> kvReadAt;

// The headers of a clip `fileSize` bytes long, read through `readAt`: its
// first 64 KiB and, for ISO media, the box headers up to its moov box and
// that box (at most 64 MiB). False when it is no clip or its headers are
// broken; a file of sound alone in the same boxes reads, without `video`.
bool readClipHeaders(const kvReadAt& readAt, uint64_t fileSize, kvClipHeaders* out);

} // namespace Korvell
