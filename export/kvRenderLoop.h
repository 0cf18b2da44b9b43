// The render's frame loop: frame n of a scene drawn at exactly n / fps on
// the stepped clock, through the same drawing path as the live loop
// (kvRenderer::drawFrame), read back and handed to a sink, until the scene
// is over. The frame in which it is over is not part of the video, so the
// video ends where the live show ends.
#pragma once

#include <cstdint>
#include <functional>

namespace Korvell {

class kvRenderer;
class kvSteppedClock;
class kvVideoSink;

// Reads frames back one behind (see kvFrameReader): after frame n is
// drawn, `previous` sets it drawing and gives frame n - 1, which the sink
// takes while the GL works; `queue` then queues the read of frame n;
// `flush` gives the last frame queued.
class kvFrameGrabber {
public:
    virtual ~kvFrameGrabber() {}
    virtual const uint8_t* previous(int* stride) = 0;
    virtual void queue() = 0;
    virtual const uint8_t* flush(int* stride) = 0;
};

// The number of frames rendered, or -1 when the sink failed or `progress`
// (told the frames done so far) asked to stop. At most maxFrames: a scene
// that never says it is over (slides whose times never let the show
// advance) still ends.
long long renderScene(kvRenderer& renderer, int width, int height, kvSteppedClock& clock,
                      const std::function<bool()>& scene, kvFrameGrabber& grabber, kvVideoSink& sink,
                      const std::function<bool(long long)>& progress, long long maxFrames);

} // namespace Korvell
