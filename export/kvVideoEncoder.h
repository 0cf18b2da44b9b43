// A video file from rendered frames, with FFmpeg's libraries: H.264 and AAC
// in MP4 or Matroska, VP9 and Opus in WebM, picked by the file's
// extension. Frames are converted to YUV 4:2:0 (kvYuvConverter) as they
// are handed over, and encoded on a thread of the encoder's own (x264 on
// threads of its own besides), so the next frame is drawn while this one
// encodes.
// The audio track is what the settings' mix gives, frame by frame with the
// pictures, cut where the video ends.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/kvEncoder.h"

struct AVFrame;

namespace Korvell {

class kvVideoEncoder : public kvEncoder {
public:
    kvVideoEncoder();
    ~kvVideoEncoder() override;

    bool open(const kvVideoSettings& settings, std::string* error) override;
    bool addFrame(const uint8_t* bgra, int stride) override;
    bool finish(std::string* error) override;
    void abort() override;
    bool hasAudio() const override;
    std::string note() const override;

private:
    kvVideoEncoder(const kvVideoEncoder&) = delete;
    kvVideoEncoder& operator=(const kvVideoEncoder&) = delete;
    struct State;
    void run();

    std::unique_ptr<State> state;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable wake;
    // Frames converted to the video's YUV, waiting and spare.
    std::deque<AVFrame*> queue;
    std::vector<AVFrame*> spare;
    static constexpr size_t kFramesAhead = 8;
    bool closing = false;
    bool stopping = false;
    bool failed = false;
    std::string failure;
};

} // namespace Korvell
