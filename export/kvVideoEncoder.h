// A video file from rendered frames, with FFmpeg's libraries: H.264 and AAC
// in MP4 or Matroska, VP9 and Opus in WebM, the picked by the file's
// extension. Frames are converted (libswscale) and encoded on a thread of
// the encoder's own, so the next frame is drawn while this one encodes.
// The show's music, decoded by FFmpeg, is the audio track from the show's
// start time, then silence, cut where the video ends.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/kvVideoSink.h"

namespace Korvell {

struct kvVideoSettings {
    std::string path;      // where the file is written (a .partial name)
    std::string container; // "mp4", "mkv" or "webm"
    int width = 1920;
    int height = 1080;
    int fps = 30;
    std::string music;         // "" for none
    double musicStart = 0.0;   // seconds into the music at the first frame
};

// The container for a file name's extension ("" when Korvell cannot write it).
std::string containerFor(const std::string& fileName);

class kvVideoEncoder : public kvVideoSink {
public:
    kvVideoEncoder();
    ~kvVideoEncoder() override;

    // False with the reason when the file cannot be started.
    bool open(const kvVideoSettings& settings, std::string* error);
    bool addFrame(const uint8_t* bgra, int stride) override;
    // Encodes what is queued, the audio to the video's end, and closes the
    // file; false with the reason when something failed on the way.
    bool finish(std::string* error);
    // Stops at once; the file is left incomplete for the caller to remove.
    void abort();

    // Whether a music file gave the video its audio track.
    bool hasAudio() const;

private:
    kvVideoEncoder(const kvVideoEncoder&) = delete;
    kvVideoEncoder& operator=(const kvVideoEncoder&) = delete;
    struct State;
    void run();

    std::unique_ptr<State> state;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::vector<uint8_t>> queue; // tightly packed BGRA frames
    std::vector<std::vector<uint8_t>> spare;
    bool closing = false;
    bool stopping = false;
    bool failed = false;
    std::string failure;
};

} // namespace Korvell
