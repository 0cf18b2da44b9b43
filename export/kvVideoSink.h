// Where rendered frames go: a video file, or in tests a recorder. Frames
// arrive in order, BGRA (the order the GL reads fastest), rows top first, `stride` bytes apart.
#pragma once

#include <cstdint>

namespace Korvell {

class kvVideoSink {
public:
    virtual ~kvVideoSink() {}
    // False when the frame cannot be taken (the encoder failed).
    virtual bool addFrame(const uint8_t* bgra, int stride) = 0;
};

} // namespace Korvell
