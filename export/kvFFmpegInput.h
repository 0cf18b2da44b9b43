// A file opened for libavformat through Korvell's bounded reader (a regular
// file only, never past the size it had when opened): what the music and
// clip decoders in the FFmpeg module read from.
#pragma once

#include <string>

#include "base/kvBoundedFile.h"

struct AVFormatContext;
struct AVIOContext;

namespace Korvell {

class kvFFmpegInput {
public:
    kvFFmpegInput() {}
    ~kvFFmpegInput();
    // Opens `path` (at most maxBytes) and reads its streams, probing at most
    // probeBytes (0: FFmpeg's own bound); false with the reason. `kind`
    // names what it was to be in a refusal ("a video", "a sound file").
    // With `length` > 0, only the bytes from `offset` on are the input
    // (a clip inside a Motion Photo), read where they lie.
    bool open(const std::string& path, long long maxBytes, long long probeBytes, const char* kind,
              std::string* reason, long long offset = 0, long long length = 0);
    AVFormatContext* format() const { return in; }

    // The bytes read: a window on the file, and where in it reading is.
    struct Window {
        kvBoundedFile file;
        long long offset = 0, length = 0, at = 0;
    };

private:
    kvFFmpegInput(const kvFFmpegInput&) = delete;
    kvFFmpegInput& operator=(const kvFFmpegInput&) = delete;
    Window window;
    AVIOContext* io = nullptr;
    AVFormatContext* in = nullptr;
};

} // namespace Korvell
