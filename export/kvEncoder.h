// What a render needs of a video encoder, and the settings it is opened
// with. The encoder itself (FFmpeg's libraries) lives in a module of its
// own that Korvell loads only to render, so a live show never loads them.
#pragma once

#include <functional>
#include <string>

#include "export/kvVideoSink.h"

namespace Korvell {

struct kvVideoSettings {
    std::string path;        // where the file is written (a partial name)
    std::string container;   // "mp4", "mkv" or "webm"
    int width = 1920;
    int height = 1080;
    int fps = 30;
    // "x264", or a hardware H.264 encoder to try first: "vaapi", "nvenc".
    std::string encoder = "x264";
    // The sound, read in order from the video's first frame: `frames`
    // interleaved stereo floats at 48000 Hz each call, on the encoder's
    // thread. Unset: no audio track.
    std::function<void(float* stereo, int frames)> audio;
};

// The container for a file name's extension ("" when Korvell cannot write it).
std::string containerFor(const std::string& fileName);

class kvEncoder : public kvVideoSink {
public:
    // False with the reason when the file cannot be started.
    virtual bool open(const kvVideoSettings& settings, std::string* error) = 0;
    // Encodes what is queued, the audio to the video's end, and closes the
    // file; false with the reason when something failed on the way.
    virtual bool finish(std::string* error) = 0;
    // Stops at once; the file is left incomplete for the caller to remove.
    virtual void abort() = 0;
    // Whether the video has an audio track.
    virtual bool hasAudio() const = 0;
    // After open: why the encoder asked for is not the one used ("" when it is).
    virtual std::string note() const = 0;
};

// The module's one entry point: a new encoder, owned by the caller.
#define KORVELL_ENCODER_ENTRY "korvell_make_encoder"
extern "C" typedef kvEncoder* (*kvMakeEncoder)();

} // namespace Korvell
