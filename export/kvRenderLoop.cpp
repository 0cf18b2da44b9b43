// The stepped frame loop.
#include "export/kvRenderLoop.h"

#include "export/kvSteppedClock.h"
#include "export/kvVideoSink.h"
#include "render/kvRenderer.h"

namespace Korvell {

long long renderScene(kvRenderer& renderer, int width, int height, kvSteppedClock& clock,
                      const std::function<bool()>& scene, kvFrameGrabber& grabber, kvVideoSink& sink,
                      const std::function<bool(long long)>& progress, long long maxFrames)
{
    long long n = 0;
    int stride = 0;
    for (; n < maxFrames; ++n) {
        clock.setFrame(n);
        if (!renderer.drawFrame(width, height, scene)) break;
        const uint8_t* frame = grabber.previous(&stride);
        if (frame && !sink.addFrame(frame, stride)) return -1;
        grabber.queue();
        if (!progress(n + 1)) return -1;
    }
    const uint8_t* frame = grabber.flush(&stride);
    if (frame && !sink.addFrame(frame, stride)) return -1;
    return n;
}

} // namespace Korvell
