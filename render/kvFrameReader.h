// Reads rendered frames back from the GL without waiting on each, through
// one pixel buffer object. Frame n is set drawing (flushed) before frame
// n - 1, read into the buffer the turn before, is handed out, so whoever
// takes that frame (the colour conversion) works while the GL draws; only
// then is the read of frame n queued into the same buffer.
#pragma once

#include <cstdint>

namespace Korvell {

class kvFrameReader {
public:
    kvFrameReader(int width, int height);
    ~kvFrameReader();

    // Starts the GL on the frame just drawn and gives the one queued
    // before it: BGRA (Mesa's own order, read without a swizzle), its top
    // row first, `stride` bytes from row to row (negative: the GL keeps
    // rows bottom up). Null when none was queued. Valid until queue().
    const uint8_t* previous(int* stride);
    // Queues the read of the frame just drawn (before the next is drawn).
    void queue();
    // The last frame queued, after the last queue().
    const uint8_t* last(int* stride);

private:
    kvFrameReader(const kvFrameReader&) = delete;
    kvFrameReader& operator=(const kvFrameReader&) = delete;
    const uint8_t* mapQueued(int* stride); // null when nothing is queued
    void unmap();

    int width;
    int height;
    unsigned buffer = 0;
    bool queued = false; // a frame's read waits in the buffer
    bool mapped = false; // the buffer is handed out
};

} // namespace Korvell
