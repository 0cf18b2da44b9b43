// What the show needs of a video clip: its facts (size as shown, length,
// sound) and its frames, one after another from a point, as RGBA at the
// size they are seen. FFmpeg decodes them in the encoder's module, so the
// show reaches clips only through this interface.
#pragma once

#include <memory>
#include <string>

#include "base/kvHandle.h"
#include "image/kvTexture.h"

namespace Korvell {

// A clip the renderer plays (1-based, 0 for none), its own kind of handle.
using kvClipIndex = kvHandle<struct kvClipKind>;

struct kvClipFacts {
    int width = 0;  // as shown: the sample aspect ratio and the rotation applied
    int height = 0;
    double seconds = 0.0; // its length
    bool sound = false;   // it has an audio stream
    int rotation = 0;     // clockwise degrees turned to show it upright: 0, 90, 180, 270
    double rate = 0.0;    // frames a second, as the file says (0: unknown)
    std::string codec;    // the video codec's name
};

// One decoded frame: RGBA in a buffer a texel larger each way than the
// frame, its edges extended; and its blurred copy when the slide's fit
// wants one.
struct kvClipFrame {
    double seconds = 0.0; // its time in the clip
    long long serial = 0; // one more for each frame a stream decodes
    std::unique_ptr<kvTexture> picture;
    std::unique_ptr<kvTexture> blurred;
};

class kvClipDecoder {
public:
    virtual ~kvClipDecoder() {}
    // Opens a clip on the disk for frames at most `maxWidth` x `maxHeight`
    // as shown (0: its own size; a smaller clip is never enlarged); false
    // with the reason.
    virtual bool open(const std::string& file, int maxWidth, int maxHeight, std::string* reason) = 0;
    virtual const kvClipFacts& facts() const = 0;
    // The next frames come from the last one at or before `seconds`.
    virtual bool seek(double seconds) = 0;
    // The next frame; false at the end or on an error (`reason` says which).
    virtual bool next(kvClipFrame& frame, std::string* reason) = 0;
    // How it decodes: "vaapi", or "software" with its threads.
    virtual std::string decoding() const = 0;
};

// The module's entry points: a decoder, and a clip's facts read from its
// headers alone.
#define KORVELL_CLIP_ENTRY "korvell_make_clip_decoder"
#define KORVELL_PROBE_ENTRY "korvell_probe_clip"
extern "C" typedef kvClipDecoder* (*kvMakeClipDecoder)();
extern "C" typedef bool (*kvProbeClip)(const std::string& file, kvClipFacts* facts, std::string* reason);

} // namespace Korvell
